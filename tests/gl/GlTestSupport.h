#pragma once

#include <gtest/gtest.h>

#include "drawing/OffscreenContext.h"

namespace GlTest
{
constexpr int SIZE = 64;

// The process's context, made current; null (reported as a test failure) when EGL gives none.
inline COffscreenContext* Context()
{
    // Shared by every test until the process ends: creating one costs ~0.1 s.
    static COffscreenContext context;
    static const bool bCreated = context.Create(SIZE, SIZE);
    if (!bCreated)
    {
        ADD_FAILURE() << "no offscreen GL context: " << context.GetError();
        return nullptr;
    }
    context.MakeCurrent();
    return &context;
}
} // namespace GlTest
