// Slots of this program's import table, so that a test can stand in for a
// platform function its code calls.
#pragma once
#include <windows.h>
#include <commdlg.h>
#include <string>

#ifdef _WIN64
#define IMPORT_SLOT(var, name, argBytes) extern "C" void *var __asm__("__imp_" #name)
#else
#define IMPORT_SLOT(var, name, argBytes) extern "C" void *var __asm__("__imp__" #name "@" #argBytes)
#endif

// Puts replacement in the slot; returns what the slot held.
void *SwapImport(void **slot, void *replacement);

// The same with a typed stand-in: *real gets the function the slot held.
template <typename Fn>
void SwapImport(void **slot, Fn replacement, Fn *real)
{
    *real = reinterpret_cast<Fn>(SwapImport(slot, reinterpret_cast<void *>(replacement)));
}

// What a stand-in for a common file dialog was handed: the record, with what
// its pointers pointed at.
struct FileDialogCall {
    OPENFILENAMEA record;
    std::string filter;      // up to and including the NUL that ends the list
    std::string fileBuffer;  // all nMaxFile bytes
    std::string defaultExtension;
};
FileDialogCall NoteFileDialogCall(const OPENFILENAMEA *record);
