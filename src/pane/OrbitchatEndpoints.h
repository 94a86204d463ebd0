#pragma once

// The pages and the address that the pane sends people to, and the maker's web server that serves
// the extension catalogue. They name people and a shop, so they are configuration: the defaults
// are placeholders on reserved ".example" domains, and a build or a host sets the real ones
// (OrbitchatPreferencesController::setEndpoints).

#include <string>

struct OrbitchatEndpoints {
    std::string makerProfileURL = "https://twitter.example/OrbitchatDev";
    std::string secondProfileURL = "https://twitter.example/TavinDev";
    std::string donationURL = "https://donate.example/orbitchat";
    std::string supportEmail = "support@orbitchat.example";
    // The host (with ":port" when it is not 443) that serves "/chatheadsextensions.json" over https.
    std::string catalogueHost = "repo.orbitchat.example";
};
