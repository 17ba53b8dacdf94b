# The shippable folder: QX48_EWARM_pack.exe and the console tool qx48patch.exe with the patch tree
# QX48_EWARM_patch\ beside them, the patch's manifest QX48_EWARM_patch.sha256, the scripts for
# distribution systems in deploy\, and the freshly built flash image inside the patch at
# flashloader\QuorVantel. The program looks for
# its patch next to its own file, so this folder is all a user needs.
#
#   build/windows/package/              laid out by every build (target package_layout), for the
#                                       tests and the demo, without an install step
#   cmake --install build/windows       the same folder at CMAKE_INSTALL_PREFIX
#   build/release/                      every build (target package_release, cmake/Release.cmake):
#                                       QX48_EWARM_pack-1.1-win32.zip (the 32-bit build) or
#                                       -win64.zip (the 64-bit one) of that folder with both
#                                       programs signed, the flash image, and SHA256SUMS
#
# The source patch tree carries one file that is not shipped: its .gitattributes, which keeps Git
# from touching the CRLF line ends of the device files.
#
# This file is also the script that lays the folder out (cmake -P, with the variables below).

if(CMAKE_SCRIPT_MODE_FILE)
  # Script mode: EXE, CLI_EXE, DEPLOY_SOURCE, PATCH_SOURCE, FLASH_IMAGE, MANIFEST, OUT. The folder is laid out afresh each time, so
  # a file removed from the source tree does not linger in the package.
  file(REMOVE_RECURSE "${OUT}")
  file(MAKE_DIRECTORY "${OUT}")
  file(COPY "${EXE}" DESTINATION "${OUT}")
  file(COPY "${CLI_EXE}" DESTINATION "${OUT}")
  file(COPY "${DEPLOY_SOURCE}" DESTINATION "${OUT}" PATTERN ".gitattributes" EXCLUDE)
  # The detection rule is uploaded on its own, without the package, so it carries the patch
  # version it detects: the label of the version file's [Install] section, as the programs read it.
  file(READ "${PATCH_SOURCE}/Qorvantel.Version" version_file)
  string(REGEX MATCH "\\[Install\\][^[]*Version=\"?([^\"\r\n]*)" unused "${version_file}")
  set(patch_version "${CMAKE_MATCH_1}")
  if(NOT patch_version)
    message(FATAL_ERROR "package layout: no Version= in ${PATCH_SOURCE}/Qorvantel.Version")
  endif()
  set(QX48_PATCH_VERSION "${patch_version}")
  configure_file("${DEPLOY_SOURCE}/detect.ps1" "${OUT}/deploy/detect.ps1" @ONLY NEWLINE_STYLE CRLF)
  configure_file("${DEPLOY_SOURCE}/detect-verified.ps1" "${OUT}/deploy/detect-verified.ps1" @ONLY
                 NEWLINE_STYLE CRLF)
  file(COPY "${PATCH_SOURCE}" DESTINATION "${OUT}" PATTERN ".gitattributes" EXCLUDE)
  if(EXISTS "${FLASH_IMAGE}")
    file(COPY "${FLASH_IMAGE}" DESTINATION "${OUT}/QX48_EWARM_patch/flashloader/QuorVantel")
  else()
    # Not fatal here, so that a windows build works before the flash build has run; the package
    # test fails on it, and install refuses to go without the image.
    message(WARNING "package layout: no flash image at ${FLASH_IMAGE}; build the flash preset "
                    "first or set QX48_FLASH_IMAGE. ${OUT} has no QX48Flash.FLM.")
  endif()
  # The manifest the programs were built with (cmake/PatchManifest.cmake): they accept no other.
  file(COPY_FILE "${MANIFEST}" "${OUT}/QX48_EWARM_patch.sha256")
  return()
endif()

set(QX48_PATCH_SOURCE "${CMAKE_SOURCE_DIR}/QX48_EWARM_patch")
set(QX48_DEPLOY_SOURCE "${CMAKE_SOURCE_DIR}/deploy")
set(QX48_PACKAGE_DIR "${CMAKE_BINARY_DIR}/package")
set(QX48_PACKAGE_NAME "QX48_EWARM_pack-${PROJECT_VERSION}-${QX48_ARCH}")
set(QX48_MANIFEST "${CMAKE_BINARY_DIR}/generated/QX48_EWARM_patch.sha256")

# The manifest and its digest, before either program is compiled. Always run: it hashes a handful
# of files, notices a changed flash image or a removed patch file, and rewrites nothing that did
# not change.
add_custom_target(patch_manifest
  COMMAND ${CMAKE_COMMAND}
          -DPATCH_SOURCE=${QX48_PATCH_SOURCE}
          -DFLASH_IMAGE=${QX48_FLASH_IMAGE}
          -DOUT_MANIFEST=${QX48_MANIFEST}
          -DOUT_HEADER=${CMAKE_BINARY_DIR}/generated/PatchManifestDigest.h
          -P ${CMAKE_CURRENT_LIST_DIR}/PatchManifest.cmake
  BYPRODUCTS ${QX48_MANIFEST} ${CMAKE_BINARY_DIR}/generated/PatchManifestDigest.h
  COMMENT "Hashing the patch into its manifest"
  VERBATIM)
add_dependencies(qx48patch patch_manifest)
add_dependencies(QX48_EWARM_pack patch_manifest)

# Always run: it copies a handful of small files, and it has to notice removed ones too.
add_custom_target(package_layout ALL
  COMMAND ${CMAKE_COMMAND}
          -DEXE=$<TARGET_FILE:QX48_EWARM_pack>
          -DCLI_EXE=$<TARGET_FILE:qx48patch>
          -DDEPLOY_SOURCE=${QX48_DEPLOY_SOURCE}
          -DPATCH_SOURCE=${QX48_PATCH_SOURCE}
          -DFLASH_IMAGE=${QX48_FLASH_IMAGE}
          -DMANIFEST=${QX48_MANIFEST}
          -DOUT=${QX48_PACKAGE_DIR}
          -P ${CMAKE_CURRENT_LIST_FILE}
  DEPENDS QX48_EWARM_pack qx48patch
  COMMENT "Laying out the package in ${QX48_PACKAGE_DIR}"
  VERBATIM)

# The release: the unsigned ZIP two builds must agree on, the programs in the package folder
# signed, and the signed ZIP with SHA256SUMS in build/release (cmake/Release.cmake). Always run,
# after the layout it signs.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_custom_target(package_release ALL
  COMMAND ${CMAKE_COMMAND}
          -DPACKAGE_DIR=${QX48_PACKAGE_DIR}
          -DNAME=${QX48_PACKAGE_NAME}
          -DBINARY_DIR=${CMAKE_BINARY_DIR}
          -DRELEASE_DIR=${CMAKE_SOURCE_DIR}/build/release
          -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
          -DFLASH_IMAGE=${QX48_FLASH_IMAGE}
          -DSIGNING_DIR=${CMAKE_BINARY_DIR}/signing
          -DPYTHON=${Python3_EXECUTABLE}
          -P ${CMAKE_CURRENT_LIST_DIR}/Release.cmake
  COMMENT "Signing the programs and zipping the package"
  VERBATIM)
add_dependencies(package_release package_layout)

# `cmake --install` of a cross build would otherwise aim at "C:/Program Files (x86)/QX48" on the
# build machine.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX "${CMAKE_BINARY_DIR}/${QX48_PACKAGE_NAME}" CACHE PATH
      "where cmake --install lays out the package" FORCE)
endif()

install(TARGETS QX48_EWARM_pack qx48patch RUNTIME DESTINATION .)
# The laid-out deploy\ folder: its detection rule carries the patch version.
install(DIRECTORY "${QX48_PACKAGE_DIR}/deploy" DESTINATION .)
install(DIRECTORY "${QX48_PATCH_SOURCE}" DESTINATION . PATTERN ".gitattributes" EXCLUDE)
# Fails the install when the image is missing: a package without it is no package.
install(FILES "${QX48_FLASH_IMAGE}" DESTINATION QX48_EWARM_patch/flashloader/QuorVantel)
# The manifest of the laid-out patch, which holds the same files (the image included).
install(FILES "${QX48_PACKAGE_DIR}/QX48_EWARM_patch.sha256" DESTINATION .)
