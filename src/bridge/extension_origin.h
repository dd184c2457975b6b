#pragma once

#include <set>
#include <string>
#include <vector>

namespace twk {

/// Who may connect to the browser bridge. Any web page the user visits can
/// open a WebSocket to a loopback port, and whoever holds the bridge reads
/// every web task the user speaks and answers with text the speech model
/// acts on. So only browser extensions are let in, by the Origin their
/// browser sets and a page cannot forge: "chrome-extension://<id>". With
/// `allowedIds` set, only those extensions.
class ExtensionOriginPolicy {
public:
    explicit ExtensionOriginPolicy(std::vector<std::string> allowedIds = {});

    /// Whether a handshake with this Origin header ("" when none) may upgrade.
    bool accepts(const std::string& origin) const;
    /// `accepts`, logging a refusal the first time each origin is refused.
    bool admit(const std::string& origin);

    /// Extension ids from a list separated by commas or spaces (the
    /// TARNWICK_EXTENSION_IDS setting); empty means any extension.
    static std::vector<std::string> parseIds(const std::string& text);

private:
    std::set<std::string> allowedIds_;
    std::set<std::string> refusedOrigins_;
};

} // namespace twk
