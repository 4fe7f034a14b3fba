// setup.h — the settings file "Setup.ini" and the start-up log "Debug.txt".
//
// Both live in "Files/". While a screen runs the current folder is the game
// folder, so SaveSetup steps out to ".." and back.
#pragma once

#include <string>
#include <vector>

// Audio back-end names (= empty), read from the platform once before the
// setup file; Settings[14] is a position in it.
extern std::vector<std::string> AudioDriverList;
// The "[Online]" section, for the online score service (scores/online.h):
extern int OnlineEnabled;        // = 0; 1 after "Online = True" (or "On")
extern std::string ScoreServer;  // = "localhost"; "host" or "host:port" (port 80 when none)

// Creates (or empties) "Debug.txt" in the current folder; false when it
// cannot be created (the log is then silently dropped).
bool OpenLog(const std::string& path = "Debug.txt");
// One line (CR LF) appended to the log and flushed, so a crash keeps it.
void LogLine(const std::string& text);
void CloseLog();

// Reads "Setup.ini" from the current folder when present, then chooses and
// sets the audio back end. Writes its own log lines.
void LoadSetup();
// Applies one line of the settings file (exposed for tests). sawDriver is set
// when the line names an audio back end.
void ApplySetupLine(const std::string& line, bool& sawDriver);
// Picks Settings[14] from AudioDriverList when the file named no back end.
int ChooseAudioDriver(const std::vector<std::string>& names);
// Writes "Setup.ini" into ".." (through a temporary file renamed over the old
// one) and returns to the game folder. False (and a log line) on failure.
bool SaveSetup();
// The file's lines as SaveSetup writes them (exposed for tests).
std::vector<std::string> SetupFileLines();

// Master volume × another volume (both percentages as "Setup.ini" holds
// them, unchecked) as a share of full volume: 100 and 100 give 1. Taken in
// 64 bits, so "Master = 99999" cannot overflow; the channel caps it at 1.
float VolumeShare(int master, int volume);
