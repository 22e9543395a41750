# Writes the module-definition file MSVC hosts build their import library
# from (lib /def:kova.def /machine:x64): the DLL's name, then the export list
# the linker wrote for the DLL it made.
#   cmake -DDLL=kova.dll -DEXPORTS=<linker's list> -DOUT=kova.def -P kova_def.cmake
file(READ ${EXPORTS} list)
file(WRITE ${OUT} "LIBRARY ${DLL}\n${list}")
