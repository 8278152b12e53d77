// Reads the module name of a 16-bit Windows (NE) executable from its file image. Pure: it knows
// nothing of files or of the system, and trusts no offset or length found in the image.
#pragma once
#include <cstddef>

// Copies the first entry of the resident-name table (the module name) into `name`, at most
// `nameSize` - 1 characters and always terminated. False when the image is not an NE
// executable, when any header, table or name lies outside the `size` bytes at `data`, when the
// name is empty, or when `nameSize` is 0.
bool ReadNeModuleNameFromImage(const void *data, size_t size, char *name, size_t nameSize);
