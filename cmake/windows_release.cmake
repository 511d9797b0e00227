# Flags of the Windows trees: the product and, built the same way, what the
# Wine tests run. Small, because pellumin.exe must stay under 400 KB with its
# 165 KB banner; reproducible, because a release is checked by its hash.

# A plain variable, so that a tree configured before these lines drops its cached -O3 too.
set(CMAKE_CXX_FLAGS_RELEASE "-Os -DNDEBUG")
# Whole-program optimisation: CMake adds -flto and archives with gcc-ar.
set(CMAKE_INTERPROCEDURAL_OPTIMIZATION_RELEASE ON)
add_compile_options(
  # One section per function and datum, so that the linker drops unused ones.
  "$<$<CONFIG:Release>:-ffunction-sections;-fdata-sections>"
  # Nothing asks for a type at run time; thrown types keep what catch needs.
  "$<$<CONFIG:Release>:-fno-rtti>"
  # No absolute build path in the binary.
  "-ffile-prefix-map=${PROJECT_SOURCE_DIR}=."
)
add_link_options(
  # GCC 12 for mingw-w64 crashes (binds_to_current_def_p) when it splits the
  # LTO program into partitions.
  "$<$<CONFIG:Release>:-flto-partition=one;-Wl,--gc-sections>"
  # Zero instead of the link time in the PE header.
  -Wl,--no-insert-timestamp
)
