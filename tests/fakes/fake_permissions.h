#pragma once

#include "platform/permissions.h"

namespace twk::test {

class FakePermissions : public Permissions {
public:
    bool mic = false, accessibility = false, screen = false;
    int accessibilityRequests = 0, screenRequests = 0, soundSettingsOpened = 0;

    bool microphoneGranted() override { return mic; }
    bool accessibilityGranted() override { return accessibility; }
    bool screenRecordingGranted() override { return screen; }
    void requestAccessibility() override { ++accessibilityRequests; }
    void requestScreenRecording() override { ++screenRequests; }
    void openSoundSettings() override { ++soundSettingsOpened; }
};

} // namespace twk::test
