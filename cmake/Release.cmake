# The release of one build: its package ZIP, made twice. First from the package folder as laid
# out, with the programs unsigned: NAME-unsigned.zip in the build folder, which two builds of one
# commit make byte for byte alike (scripts/check-reproducible.sh compares them). Then the two
# programs and the two PowerShell scripts in the package folder are signed (Authenticode,
# osslsigncode) and NAME.zip is made of
# it in the release folder, with SHA256SUMS beside the ZIPs there and the flash image.
#
#   cmake -DPACKAGE_DIR=... -DNAME=... -DBINARY_DIR=... -DRELEASE_DIR=... -DSOURCE_DIR=...
#         -DFLASH_IMAGE=... -DSIGNING_DIR=... -DPYTHON=... -P Release.cmake
#
# Who signs, from the environment when the build runs:
#   QX48_SIGN_PKCS12        a .pfx/.p12 with the code-signing certificate and its key, or
#   QX48_SIGN_CERT, QX48_SIGN_KEY   the certificate (chain) and key as PEM files;
#   QX48_SIGN_PASSWORD      the password of either, when it has one;
#   QX48_SIGN_CA            the root the tests verify against (default: the certificate);
#   QX48_TIMESTAMP_URL      an RFC 3161 time-stamp server; without one the signature has no time
#                           stamp and stops verifying when the certificate expires.
# With none of them, a throw-away self-signed code-signing certificate is made in SIGNING_DIR and
# used, and the build says so: such a package is for tests, not for users.

# The commit's time, for every time the ZIP holds.
set(epoch "$ENV{SOURCE_DATE_EPOCH}")
if(NOT epoch)
  execute_process(COMMAND git -C "${SOURCE_DIR}" log -1 --format=%ct
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(NOT epoch MATCHES "^[0-9]+$")
  set(epoch 315532800)  # 1980-01-01, the earliest a ZIP holds: no commit to take it from
endif()

function(make_zip folder out)
  execute_process(COMMAND "${PYTHON}" "${CMAKE_CURRENT_LIST_DIR}/make_zip.py" "${folder}" "${NAME}"
                          "${out}" "${epoch}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "release: could not make ${out}")
  endif()
endfunction()

make_zip("${PACKAGE_DIR}" "${BINARY_DIR}/${NAME}-unsigned.zip")

# Who signs.
set(password "$ENV{QX48_SIGN_PASSWORD}")
set(pass_args "")
if(password)
  set(pass_args -pass "${password}")
endif()
if(DEFINED ENV{QX48_SIGN_PKCS12} AND NOT "$ENV{QX48_SIGN_PKCS12}" STREQUAL "")
  set(signer -pkcs12 "$ENV{QX48_SIGN_PKCS12}" ${pass_args})
  set(verify_ca "$ENV{QX48_SIGN_CA}")
elseif(DEFINED ENV{QX48_SIGN_CERT} AND NOT "$ENV{QX48_SIGN_CERT}" STREQUAL "")
  set(signer -certs "$ENV{QX48_SIGN_CERT}" -key "$ENV{QX48_SIGN_KEY}" ${pass_args})
  set(verify_ca "$ENV{QX48_SIGN_CA}")
  if(NOT verify_ca)
    set(verify_ca "$ENV{QX48_SIGN_CERT}")
  endif()
else()
  set(cert "${SIGNING_DIR}/throwaway-cert.pem")
  set(key "${SIGNING_DIR}/throwaway-key.pem")
  set(still_valid 1)
  if(EXISTS "${cert}")
    execute_process(COMMAND openssl x509 -checkend 86400 -noout -in "${cert}"
                    RESULT_VARIABLE still_valid OUTPUT_QUIET ERROR_QUIET)
  endif()
  if(NOT still_valid EQUAL 0 OR NOT EXISTS "${key}")
    file(MAKE_DIRECTORY "${SIGNING_DIR}")
    execute_process(
      COMMAND openssl req -x509 -newkey rsa:3072 -nodes -days 365 -keyout "${key}" -out "${cert}"
              -subj "/CN=QX48 throw-away test signing/O=QuorVantel"
              -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning"
      RESULT_VARIABLE failed OUTPUT_QUIET ERROR_VARIABLE openssl_error)
    if(failed)
      message(FATAL_ERROR "release: no throw-away certificate: ${openssl_error}")
    endif()
  endif()
  message(STATUS "release: signed with a throw-away self-signed certificate (${cert}); set "
                 "QX48_SIGN_PKCS12 or QX48_SIGN_CERT and QX48_SIGN_KEY to sign a release")
  set(signer -certs "${cert}" -key "${key}")
  set(verify_ca "${cert}")
endif()
set(timestamp "")
if(DEFINED ENV{QX48_TIMESTAMP_URL} AND NOT "$ENV{QX48_TIMESTAMP_URL}" STREQUAL "")
  set(timestamp -ts "$ENV{QX48_TIMESTAMP_URL}")
endif()
# What the tests verify the packaged programs against.
file(MAKE_DIRECTORY "${SIGNING_DIR}")
if(verify_ca)
  file(COPY_FILE "${verify_ca}" "${SIGNING_DIR}/verify-with.pem")
endif()

# The two PowerShell scripts too (an Authenticode block of comments at their end), so that a
# distribution system can keep its script signature check on.
foreach(program IN ITEMS QX48_EWARM_pack.exe qx48patch.exe deploy/detect.ps1
                        deploy/detect-verified.ps1 deploy/requirement.ps1)
  set(path "${PACKAGE_DIR}/${program}")
  file(REMOVE "${path}.signed")
  execute_process(
    COMMAND osslsigncode sign ${signer} -h sha256 -n "QX48_EWARM_pack" ${timestamp}
            -in "${path}" -out "${path}.signed"
    RESULT_VARIABLE failed OUTPUT_VARIABLE sign_output ERROR_VARIABLE sign_output)
  if(failed)
    message(FATAL_ERROR "release: could not sign ${program}: ${sign_output}")
  endif()
  file(RENAME "${path}.signed" "${path}")
endforeach()

file(MAKE_DIRECTORY "${RELEASE_DIR}")
make_zip("${PACKAGE_DIR}" "${RELEASE_DIR}/${NAME}.zip")
if(EXISTS "${FLASH_IMAGE}")
  file(COPY_FILE "${FLASH_IMAGE}" "${RELEASE_DIR}/QX48Flash.FLM")
endif()
# Beside the ZIPs of both builds (each build rewrites it with what the folder holds now): the
# lines sha256sum -c reads.
file(GLOB shipped RELATIVE "${RELEASE_DIR}" "${RELEASE_DIR}/*.zip" "${RELEASE_DIR}/*.FLM")
list(SORT shipped)
set(sums "")
foreach(file IN LISTS shipped)
  file(SHA256 "${RELEASE_DIR}/${file}" hash)
  string(APPEND sums "${hash}  ${file}\n")
endforeach()
file(WRITE "${RELEASE_DIR}/SHA256SUMS" "${sums}")
