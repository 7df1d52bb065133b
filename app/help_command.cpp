// The Help menu's commands: the user guide beside the program and the maker's
// web site, opened with the desktop's handlers, and what the user is told when
// they cannot be opened.

#include <map>

#include "app/meter_app.h"

namespace tarnwick {
namespace {

inline const std::string kHelpErrorCaption = " Tarnwick Error";

// What each result of opening a file means, as the user is told.
const std::map<int, std::string>& HelpMessages() {
    static const std::map<int, std::string> kMessages = {
        {0, "The operating system is out of memory or resources."},
        {2, "The specified file was not found"},
        {3, "The specified path was not found."},
        {5, "Windows 95 only: The operating system denied access to the specified file"},
        {8, "Windows 95 only: There was not enough memory to complete the operation."},
        {10, "Wrong Windows version"},
        {11, "The .EXE file is invalid (non-Win32 .EXE or error in .EXE image)."},
        {12, "Application was designed for a different operating system"},
        {13, "Application was designed for MS-DOS 4.0"},
        {15, "Attempt to load a real-mode program"},
        {16,
         "Attempt to load a second instance of an application with non-readonly data "
         "segments"},
        {19, "Attempt to load a compressed application file"},
        {20, "Dynamic-link library (DLL) file failure"},
        {26, "A sharing violation occurred."},
        {27, "The filename association is incomplete or invalid."},
        {28, "The DDE transaction could not be completed because the request timed out."},
        {29, "The DDE transaction failed."},
        {30,
         "The DDE transaction could not be completed because other DDE transactions were "
         "being processed."},
        {31, "There is no application associated with the given filename extension."},
        {32, "Windows 95 only: The specified dynamic-link library was not found."},
    };
    return kMessages;
}

}  // namespace

std::string HelpPagePath(const std::string& programFolder) {
    return programFolder + "/Help/index.html";
}

void MeterApp::Help2Click(const std::string& programFolder) {
    const std::string path = HelpPagePath(programFolder);
    const int result = ports_.shell.Open(path);
    if (result > 32) {
        return;
    }
    const auto message = HelpMessages().find(result);
    const std::string text = message != HelpMessages().end() ? message->second : std::string();
    ports_.dialogs.MessageBox(text + " (" + std::to_string(result) + ") - " + path,
                              kHelpErrorCaption);
}

void MeterApp::Website1Click() {
    if (ports_.shell.Open(kWebSiteAddress) < 32) {
        ports_.dialogs.MessageBox(std::string("Web site not found: ") + kWebSiteAddress,
                                  kHelpErrorCaption);
    }
}

}  // namespace tarnwick
