/* Resource ids shared by pellumin.rc, the Win32 backend and the windows that
   name a resource.
   Plain preprocessor only: windres reads this too. */
#ifndef NP_RESOURCE_IDS_H
#define NP_RESOURCE_IDS_H

#define IDI_APP 1
#define IDB_BANNER 101       /* the About window's picture */
#define IDC_HAND_POINTER 102 /* the pointer over the About window's links */

#endif
