# The one place that knows how a Windows build tree runs its programs: which Wine loader the
# target's architecture needs, the tree's own WINEPREFIX, and the tools that go with them.
#
# Debian's /usr/bin/wine always starts the 32-bit loader when it is installed, so each tree
# names its loader and sets WINELOADER to it. The generated ${CMAKE_BINARY_DIR}/wine runs a
# program of this tree (`wine prog.exe args`), a Wine tool (`wine regsvr32 /s x.dll`), or the
# tree's wineserver (`wine wineserver -k`); CTest uses it as the emulator.
#
# A 32-bit tree on a machine that cannot run 32-bit programs: with CORVANE_SKIP_WIN32 set,
# the wrapper prints why and exits with CORVANE_SKIP_CODE, which every test of the tree
# declares as its skip code, so CTest reports the tests as skipped, never as passed.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(CORVANE_WINDOWS_ARCH win64)
  set(CORVANE_WINE_LOADER /usr/lib/wine/wine64 CACHE FILEPATH "Wine loader for this tree")
  set(CORVANE_WINE_DLLS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
  set(CORVANE_WIDL x86_64-w64-mingw32-widl)
else()
  set(CORVANE_WINDOWS_ARCH win32)
  set(CORVANE_WINE_LOADER /usr/lib/wine/wine CACHE FILEPATH "Wine loader for this tree")
  set(CORVANE_WINE_DLLS /usr/lib/i386-linux-gnu/wine/i386-windows)
  set(CORVANE_WIDL i686-w64-mingw32-widl)
endif()
set(CORVANE_SKIP_CODE 77)
set(CORVANE_WINE ${CMAKE_BINARY_DIR}/wine)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine.sh.in ${CORVANE_WINE} @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CORVANE_WINE})

# Declares the skip code on tests of this tree, and a deadline: a test that waits on something
# that never comes (a modal box nobody dismisses) fails instead of stalling the run.
function(corvane_wine_tests)
  set_tests_properties(${ARGN} PROPERTIES SKIP_RETURN_CODE ${CORVANE_SKIP_CODE} TIMEOUT 300)
endfunction()
