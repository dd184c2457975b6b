#pragma once

#include "app/app_state.h"
#include "fakes/memory_settings.h"
#include "fakes/virtual_main_loop.h"

#include <gtest/gtest.h>

namespace twk::test {

/// A fresh application state without a session or backend behind it.
class UiStateTest : public ::testing::Test {
protected:
    MemorySettings settings;
    VirtualMainLoop loop;
    AppState state{settings, loop};

    void plan(std::vector<std::string> texts) { state.setPlan(texts); }
};

} // namespace twk::test
