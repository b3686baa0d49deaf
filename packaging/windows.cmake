# The release files of a Windows tree, in ${CMAKE_BINARY_DIR}/release: Corvane.dll and
# corvane.exe stripped, each with its debug information beside it (NAME.debug, named by the
# stripped file's debug link), and Corvane.manifest, the DLL's side-by-side assembly manifest,
# written from the class tables by the native tree's registration-source.
set(CORVANE_REGISTRATION_SOURCE "" CACHE FILEPATH
    "The native tree's registration-source program, which writes the manifest")
set(release ${CMAKE_BINARY_DIR}/release)
file(MAKE_DIRECTORY ${release})

set(release_files "")
# objcopy and strip write the PE header's time: the build's date.
set(date ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${CORVANE_SOURCE_DATE_EPOCH})
foreach(target Corvane corvane_tool)
  set(stripped ${release}/$<TARGET_FILE_NAME:${target}>)
  add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${target}.stamp
    COMMAND ${date} ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> ${stripped}.debug
    COMMAND ${date} ${CMAKE_STRIP} --strip-all -o ${stripped} $<TARGET_FILE:${target}>
    COMMAND ${CMAKE_COMMAND} -E chdir ${release} ${date}
            ${CMAKE_OBJCOPY} --add-gnu-debuglink=$<TARGET_FILE_NAME:${target}>.debug ${stripped}
    COMMAND ${CMAKE_COMMAND} -E touch ${CMAKE_CURRENT_BINARY_DIR}/${target}.stamp
    DEPENDS ${target} ${CORVANE_SOURCE_DATE_FILE}
    COMMENT "Stripping ${target} into release/")
  list(APPEND release_files ${CMAKE_CURRENT_BINARY_DIR}/${target}.stamp)
endforeach()

if(CORVANE_REGISTRATION_SOURCE)
  add_custom_command(OUTPUT ${release}/Corvane.manifest
    COMMAND ${CORVANE_REGISTRATION_SOURCE} manifest ${CORVANE_WINDOWS_ARCH} ${PROJECT_VERSION}.0
            > ${release}/Corvane.manifest
    DEPENDS ${CORVANE_REGISTRATION_SOURCE}
    COMMENT "Writing the side-by-side manifest of Corvane.dll")
  list(APPEND release_files ${release}/Corvane.manifest)
endif()
add_custom_target(corvane_release ALL DEPENDS ${release_files})
