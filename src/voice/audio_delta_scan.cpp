#include "voice/audio_delta_scan.h"

#include "common/base64.h"
#include "common/json_scanner.h"

namespace twk::realtime {
namespace {

bool isAudioDeltaType(std::string_view type)
{
    return type == "response.output_audio.delta" || type == "response.audio.delta";
}

bool plainText(std::string_view text)
{
    for (const char c : text)
        if (!plainJsonChar(static_cast<unsigned char>(c))) return false;
    return true;
}

} // namespace

AudioDeltaScan scanAudioDelta(std::string_view frame, std::vector<std::uint8_t>& audio)
{
    JsonScanner scan(frame);
    if (!scan.consume('{')) return AudioDeltaScan::notHandled;

    std::string_view type;
    std::string_view delta;
    bool typeSeen = false, deltaSeen = false, deltaIsString = false;
    if (!scan.consume('}')) {
        do {
            std::string_view key;
            if (!scan.string(key) || !scan.consume(':')) return AudioDeltaScan::notHandled;
            if (key == "type") {
                if (typeSeen || !scan.string(type)) return AudioDeltaScan::notHandled;
                typeSeen = true;
            } else if (key == "delta") {
                if (deltaSeen) return AudioDeltaScan::notHandled;
                deltaSeen = true;
                deltaIsString = scan.peek('"');
                if (deltaIsString ? !scan.rawString(delta) : !scan.value(1)) return AudioDeltaScan::notHandled;
            } else if (!scan.value(1)) {
                return AudioDeltaScan::notHandled;
            }
        } while (scan.consume(','));
        if (!scan.consume('}')) return AudioDeltaScan::notHandled;
    }
    if (!scan.atEnd() || !typeSeen || !isAudioDeltaType(type)) return AudioDeltaScan::notHandled;
    if (!deltaIsString) return AudioDeltaScan::ignored;
    if (base64DecodeInto(delta, audio)) return AudioDeltaScan::decoded;
    // Refused text is only known to be a well-formed string when it needs no
    // unescaping; otherwise the quote found may not even end it.
    return plainText(delta) ? AudioDeltaScan::ignored : AudioDeltaScan::notHandled;
}

} // namespace twk::realtime
