# Lays a program out as a bundle under build/bundles/: <Name>.<ext>/ with
# Info.plist, the executable (or module) and Resources/ holding a copy of the
# project's resources folder. `cmake --install` puts the bundles under
# <prefix>/lib/skyvane/.
#
#   skyvane_bundle(NAME "Skyvane" EXTENSION app TARGET skyvane-app
#                  IDENTIFIER com.tesk.Skyvane [PRINCIPAL_CLASS SkyvaneMenuExtra])
function(skyvane_bundle)
  cmake_parse_arguments(B "" "NAME;EXTENSION;TARGET;IDENTIFIER;PRINCIPAL_CLASS" "" ${ARGN})
  set(dir "${CMAKE_BINARY_DIR}/bundles/${B_NAME}.${B_EXTENSION}")
  set(SKYVANE_BUNDLE_NAME "${B_NAME}")
  set(SKYVANE_BUNDLE_IDENTIFIER "${B_IDENTIFIER}")
  set(SKYVANE_BUNDLE_VERSION "${PROJECT_VERSION}")
  set(SKYVANE_BUNDLE_PRINCIPAL_CLASS "${B_PRINCIPAL_CLASS}")
  set(SKYVANE_BUNDLE_EXECUTABLE "$<TARGET_FILE_NAME:${B_TARGET}>")
  configure_file(${CMAKE_SOURCE_DIR}/cmake/Info.plist.in "${CMAKE_CURRENT_BINARY_DIR}/${B_TARGET}.Info.plist.in" @ONLY)
  file(GENERATE OUTPUT "${CMAKE_CURRENT_BINARY_DIR}/${B_TARGET}.Info.plist"
       INPUT "${CMAKE_CURRENT_BINARY_DIR}/${B_TARGET}.Info.plist.in")
  add_custom_command(TARGET ${B_TARGET} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory "${dir}"
    COMMAND ${CMAKE_COMMAND} -E copy "${CMAKE_CURRENT_BINARY_DIR}/${B_TARGET}.Info.plist" "${dir}/Info.plist"
    COMMAND ${CMAKE_COMMAND} -E copy "$<TARGET_FILE:${B_TARGET}>" "${dir}/"
    COMMENT "Assembling bundle ${B_NAME}.${B_EXTENSION}"
    VERBATIM)
  # Resources are copied on every build, so a changed resource reaches the
  # bundle without relinking the program.
  add_custom_target(${B_TARGET}_resources ALL
    COMMAND ${CMAKE_COMMAND} -E copy_directory "${CMAKE_SOURCE_DIR}/resources" "${dir}/Resources"
    COMMAND ${CMAKE_COMMAND} -E copy "${CMAKE_SOURCE_DIR}/desktop/skyvane.png" "${dir}/Resources/skyvane.png"
    VERBATIM)
  install(DIRECTORY "${dir}" DESTINATION lib/skyvane USE_SOURCE_PERMISSIONS)
endfunction()
