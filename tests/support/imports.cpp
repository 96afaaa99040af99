#include "support/imports.h"

void *SwapImport(void **slot, void *replacement)
{
    DWORD old = 0;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
    void *held = *slot;
    *slot = replacement;
    VirtualProtect(slot, sizeof *slot, old, &old);
    return held;
}

FileDialogCall NoteFileDialogCall(const OPENFILENAMEA *record)
{
    FileDialogCall call;
    call.record = *record;
    if (const char *f = record->lpstrFilter) {
        size_t i = 0;
        while (f[i] || f[i + 1])
            i++;
        call.filter.assign(f, i + 2);
    }
    if (record->lpstrFile)
        call.fileBuffer.assign(record->lpstrFile, record->nMaxFile);
    if (record->lpstrDefExt)
        call.defaultExtension = record->lpstrDefExt;
    return call;
}
