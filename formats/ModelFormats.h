#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "formats/ModelFormat.h"

// The one table of model formats, which every place that reads, writes, offers or announces a
// model file asks: the window's Open, drops and command line, the batch inputs and outputs, the
// thumbnailer, the Open dialog's filters, --help, the desktop entry, the thumbnailer entry and the
// MIME package (written at build time by desktop/make_desktop_files), and the content fuzz target.
//
// A new format is a folder of formats/ (its reader filling a CMeshBuilder, its writer taking
// SMeshView, its stream for thumbnails where a big file needs one) and one line of the table in
// ModelFormats.cpp; nothing else names it. See docs/formats.md.
std::span<const SModelFormat> ModelFormats();

// The format that recognises the data most surely (see SModelFormat::fnRecognise), the first in
// the table among equals; null when none does: "unexpected file format".
const SModelFormat* FindModelFormat(std::string_view head, uint64_t nSize);
// The same for the file at strPath, its first bytes read without waiting (see ReadFileHead);
// bReadable false when it cannot be read or is not a regular file (errno says why).
const SModelFormat* FindModelFormatOfFile(const std::string& strPath, bool& bReadable);
// The format of the name ("OFF", "STL"), or null.
const SModelFormat* ModelFormatNamed(std::string_view name);

// The writer for an output file by its extension (any case) and the option asked for (null for
// none); null when the table has none.
const SModelWriter* WriterFor(const std::string& strPath, const char* pszOption);
// Whether some writer of the extension of strPath is picked by pszOption.
bool WriterOptionApplies(const std::string& strPath, const char* pszOption);
// The extensions the writers write, for messages: ".off, .stl or .pts"; with pszOption only those
// of the writers it picks.
std::string WriterExtensionList(const char* pszOption = nullptr);

// The Open dialog's filter: "Mesh files" with every mesh format's extensions, then each format
// alone, then all files ("Mesh files (*.off;*.stl)|*.off;*.stl|OFF File (*.off)|*.off|...").
std::string OpenDialogFilter();
// The MIME types of every format read that has one, each followed by ';': the list of the desktop
// entry and of the thumbnailer, which draws every format read.
std::string MimeTypeList();
