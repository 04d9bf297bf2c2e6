# Run by cpack between the install into its staging folder and the packing: the installed
# mydict.txt becomes an empty file. It is each user's starting lexicon (copied into their data
# folder at the first start), so a developer's own entries must not reach every user.
set(_qb_mydict "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/lib/quillbridge/mydict.txt")
if(NOT EXISTS "${_qb_mydict}")
  message(FATAL_ERROR "the staged package has no ${_qb_mydict}")
endif()
file(WRITE "${_qb_mydict}" "")
