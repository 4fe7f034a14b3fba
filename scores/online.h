// online.h — the online score service's switch and login state. The service
// is switched off in this game: the Online tab is neither drawn nor chosen.
#pragma once

extern int OnlineEnabled;  // = 0
extern int LoginFocus;     // 0 none, 1 user name, 2 password field

// Replaces * " ' - + & ? { } [ ] ~ # \ / : ; by "_" in LoginName and
// LoginPassword.
void SanitiseCredentials();
