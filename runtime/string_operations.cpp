// Concatenation and comparison; both consume their operands.
#include "runtime/runtime.h"
#include "runtime/out_of_memory.h"

// The platform's own copy routine, which the headers hide behind memmove.
#undef RtlMoveMemory
extern "C" __declspec(dllimport) void WINAPI RtlMoveMemory(void *destination, const void *source,
                                                           SIZE_T length);

StrHandle StrConcat(StrHandle right, StrHandle left)
{
    int32_t leftLength = StrLength(left);
    int32_t rightLength = StrLength(right);
    // No string is longer than a signed 32-bit length can say.
    if (int64_t(leftLength) + rightLength > INT32_MAX)
        RuntimeOutOfMemory();
    StrHandle result = StrAlloc(leftLength + rightLength);
    RtlMoveMemory(result, left, SIZE_T(leftLength));
    RtlMoveMemory(result + leftLength, right, SIZE_T(rightLength));
    StrRelease(left);
    StrRelease(right);
    return result;
}

// Counted lengths: the terminating NUL takes no part, zero bytes inside do.
static int CompareCounted(StrHandle right, StrHandle left)
{
    int32_t leftLength = StrLength(left);
    int32_t rightLength = StrLength(right);
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, left, leftLength, right, rightLength);
}

int StrCompareReleaseRight(StrHandle right, StrHandle left)
{
    int result = CompareCounted(right, left);
    StrRelease(right);
    return result;
}

int StrCompareReleaseBoth(StrHandle right, StrHandle left)
{
    int result = CompareCounted(right, left);
    StrRelease(left);
    StrRelease(right);
    return result;
}
