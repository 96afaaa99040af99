// The program's small runtime: tracked strings and their registry, plain
// memory blocks, the global string slots, start-up and exit.
#pragma once
#include <windows.h>
#include <stdint.h>

// A tracked string's handle: the address of its first content byte. The
// signed 32-bit length sits in the 4 bytes before it and a NUL follows the
// content, so a handle passes wherever a C string is expected.
typedef char *StrHandle;

// Every live tracked string, oldest first. The table never has spare room
// after an allocation; the lock guards table and count.
struct StringRegistry {
    StrHandle *table;
    int32_t count;
    CRITICAL_SECTION lock;
};

enum { GlobalStringSlotCount = 32 };

extern StringRegistry Registry;
extern HANDLE ProcessHeap;
extern StrHandle GlobalStringSlots[GlobalStringSlotCount];

void RuntimeInit(void);
StrHandle StrAlloc(int32_t n);
void StrRelease(const void *h);
StrHandle StrBuffer(int32_t n);
StrHandle StrLoad(const StrHandle *variable);
// Two-operand routines take the right operand first and consume both.
StrHandle StrConcat(StrHandle right, StrHandle left);
int StrCompareReleaseRight(StrHandle right, StrHandle left);
int StrCompareReleaseBoth(StrHandle right, StrHandle left);
void *BlockAlloc(uint32_t size);
void BlockFree(void *block);
void FillGlobalStrings(void);
void ReleaseGlobalStrings(void);
__attribute__((noreturn)) void RuntimeExit(void);

// The length stored in front of a tracked string's content.
inline int32_t StrLength(StrHandle h) { return reinterpret_cast<const int32_t *>(h)[-1]; }
