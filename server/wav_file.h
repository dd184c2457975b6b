#pragma once

#include <string>

namespace twk::server {

/// Reads a RIFF/WAVE file that holds PCM16 little-endian mono at 24 kHz (the
/// realtime wire format) and returns its sample bytes. Throws twk::Error
/// ("twk.server.wav") naming the problem for anything else.
std::string readPcm16MonoWav(const std::string& path);

/// The same, from the file's bytes.
std::string pcm16MonoFromWav(const std::string& bytes);

} // namespace twk::server
