#!/bin/sh
# Prints the CP437 code points of bytes 128..255 in the layout of zip/EntryNames.cpp.
python3 -c "
s=bytes(range(128,256)).decode('cp437')
v=['0x%04X'%ord(c) for c in s]
print('\n'.join('    '+', '.join(v[i:i+8])+',' for i in range(0,128,8)))"
