# The patch's manifest, made before the programs are compiled, because both programs carry its
# SHA-256 and refuse any other manifest: signed, a program then vouches for every byte of the patch.
#
#   cmake -DPATCH_SOURCE=... -DFLASH_IMAGE=... -DOUT_MANIFEST=... -DOUT_HEADER=... -P PatchManifest.cmake
#
# One line per file of the patch as the package lays it out (the source tree without its
# .gitattributes, and the flash image at flashloader\QuorVantel), sorted by its Unix path:
# "<sha256>  <size>  <path with backslashes>".
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${PATCH_SOURCE}" "${PATCH_SOURCE}/*")
list(REMOVE_ITEM files ".gitattributes")
set(image_path "flashloader/QuorVantel/QX48Flash.FLM")
if(EXISTS "${FLASH_IMAGE}")
  list(APPEND files "${image_path}")
endif()
list(SORT files)
set(manifest "")
foreach(file IN LISTS files)
  if(file STREQUAL image_path)
    set(full "${FLASH_IMAGE}")
  else()
    set(full "${PATCH_SOURCE}/${file}")
  endif()
  file(SHA256 "${full}" hash)
  file(SIZE "${full}" size)
  string(REPLACE "/" "\\" windows_path "${file}")
  string(APPEND manifest "${hash}  ${size}  ${windows_path}\n")
endforeach()
# Written only when it changes, so that the programs are not compiled again for nothing.
file(WRITE "${OUT_MANIFEST}.new" "${manifest}")
file(SHA256 "${OUT_MANIFEST}.new" digest)
file(WRITE "${OUT_HEADER}.new"
     "// Generated from the patch by cmake/PatchManifest.cmake: the SHA-256 of the manifest the\n"
     "// programs accept.\n#pragma once\n#define QX48_PATCH_MANIFEST_SHA256 \"${digest}\"\n")
foreach(out IN ITEMS "${OUT_MANIFEST}" "${OUT_HEADER}")
  file(COPY_FILE "${out}.new" "${out}" ONLY_IF_DIFFERENT)
  file(REMOVE "${out}.new")
endforeach()
