/* Resource ids shared by pellumin.rc and the Win32 backend.
   Plain preprocessor only: windres reads this too. */
#ifndef NP_RESOURCE_IDS_H
#define NP_RESOURCE_IDS_H

#define IDI_APP 1

#endif
