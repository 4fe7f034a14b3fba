// fonts.cpp — the four typefaces, copied from Debian font packages under the
// names the game asks for, each with its licence text beside it.
#include <filesystem>
#include <string>

#include "tools/assetgen/assetgen.h"
#include "tools/assetgen/output.h"

namespace assetgen {

const FontSource kFonts[4] = {
    // Rounded and friendly: the main face of small windows.
    {"SVBasicManual.ttf", "/usr/share/fonts/truetype/quicksand/Quicksand-Bold.ttf", "fonts-quicksand"},
    // Narrower, for the main text of larger windows.
    {"November.ttf", "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed.ttf", "fonts-dejavu-extra"},
    // Condensed display face for the big titles.
    {"Blue Highway.ttf", "/usr/share/fonts/truetype/routed-gothic/routed-gothic-narrow.ttf", "fonts-routed-gothic"},
    // Blocky pixel-style face.
    {"Acknowledge TT BRK.ttf", "/usr/share/fonts/truetype/dotgothic16/DotGothic16-Regular.ttf", "fonts-dotgothic16"},
};

void WriteFonts(const std::string& commonDir) {
    for (const FontSource& f : kFonts) {
        std::string name = f.fileName;
        std::string stem = name.substr(0, name.size() - 4);  // without ".ttf"
        std::string licence = std::string("/usr/share/doc/") + f.package + "/copyright";
        // A missing package must stop the build, not produce a tree in which
        // the game silently falls back to its built-in font.
        if (!std::filesystem::is_regular_file(f.source) || !std::filesystem::is_regular_file(licence))
            Fail(std::string("font source ") + f.source + " or its licence " + licence + " is missing; install the "
                 "Debian package " + f.package + " (./setup.sh does)");
        WriteBytes(commonDir + "/" + name, ReadBytes(f.source));
        std::vector<uint8_t> text = ReadBytes(licence);
        std::string head = stem + " is the file " + f.source + " of the Debian package " + f.package +
                           ", copied unchanged under a new file name. Its licence follows.\n\n";
        text.insert(text.begin(), head.begin(), head.end());
        WriteBytes(commonDir + "/" + stem + ".LICENSE.txt", text);
    }
}

}  // namespace assetgen
