// The numbered name lists of the translation tables and the pictures: entry 0 stands for none,
// entries 1..count hold the file names of a data folder in listing order.
#pragma once

// Lists folder (a data folder: "tabs", "pics") for extension into names[1..max] and returns the
// count; files beyond max are ignored. When a name equals wanted exactly, *selected becomes its
// position (otherwise it keeps its value). The listing runs under a guard with source.
int listNumberedFiles(const char* source, const char* folder, const char* extension,
                      char (*names)[256], int max, const char* wanted, int* selected);
