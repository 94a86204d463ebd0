#pragma once

// The pages and the address that the pane sends people to. They name people and a shop, so they
// are configuration: the defaults are placeholders on reserved ".example" domains, and a build or
// a host sets the real ones (OrbitchatPreferencesController::setEndpoints).

#include <string>

struct OrbitchatEndpoints {
    std::string makerProfileURL = "https://twitter.example/OrbitchatDev";
    std::string secondProfileURL = "https://twitter.example/TavinDev";
    std::string donationURL = "https://donate.example/orbitchat";
    std::string supportEmail = "support@orbitchat.example";
};
