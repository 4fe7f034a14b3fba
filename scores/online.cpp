// online.cpp — the online service's switch and the login fields' clean-up.
#include "scores/online.h"

#include "scores/scores.h"

int OnlineEnabled = 0;
int LoginFocus = 0;

void SanitiseCredentials() {
    // Characters that would break the score server's query strings and paths.
    static const std::string banned = "*\"'-+&?{}[]~#\\/:;";
    for (std::string* field : {&LoginName, &LoginPassword}) {
        for (char& c : *field) {
            if (banned.find(c) != std::string::npos) c = '_';
        }
    }
}
