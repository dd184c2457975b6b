#include "audio_append_scan.h"

#include "common/json_scanner.h"

namespace twk::server {

std::optional<nlohmann::json> scanAudioAppend(std::string_view text)
{
    JsonScanner scan(text);
    if (!scan.consume('{')) return std::nullopt;
    nlohmann::json message = nlohmann::json::object();
    bool isAppend = false;
    if (!scan.consume('}')) {
        do {
            std::string_view key;
            if (!scan.string(key) || !scan.consume(':')) return std::nullopt;
            std::string_view audio;
            if (key == "audio" && scan.peek('"')) {
                if (!scan.rawString(audio)) return std::nullopt;
                for (const char c : audio)
                    if (!plainJsonChar(static_cast<unsigned char>(c))) return std::nullopt;
                message[std::string(key)] = std::string(audio);
                continue;
            }
            scan.skipSpace();
            const char* start = scan.position();
            if (!scan.value(1)) return std::nullopt;
            // Small and already checked: parsing it alone gives the same value.
            nlohmann::json value = nlohmann::json::parse(
                std::string_view(start, static_cast<size_t>(scan.position() - start)), nullptr, false);
            if (value.is_discarded()) return std::nullopt;
            message[std::string(key)] = std::move(value);
            if (key == "type") isAppend = message["type"] == "input_audio_buffer.append";
        } while (scan.consume(','));
        if (!scan.consume('}')) return std::nullopt;
    }
    if (!scan.atEnd() || !isAppend) return std::nullopt;
    return message;
}

} // namespace twk::server
