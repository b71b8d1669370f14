#pragma once

#include <string>
#include <vector>

// What a folder chooser is asked; the Qt layer shows the dialog.
struct TLumoFolderRequest {
    std::string Caption;
    // Empty when the given folder does not exist.
    std::string InitialFolder;
    // The platform dialog's flags: file-system folders only (0x0001) and the new style
    // (0x0040) always; the edit box (0x0010) or no "New Folder" button (0x0200); files
    // too (0x4000).
    unsigned Flags = 0;
};

class IFolderBrowser {
public:
    virtual ~IFolderBrowser() = default;
    // The chosen folder, empty when cancelled.
    virtual std::string ChooseFolder(const TLumoFolderRequest& request) = 0;
};

namespace harbrook {

// The upload dialog: several existing files.
struct OpenFilesRequest {
    std::string Title;
    std::string InitialFolder;
    // "All files (*.*)|*.*": description and pattern pairs.
    std::string Filter;
};

// The installer's save dialog.
struct SaveFileRequest {
    std::string Title;
    std::string InitialFolder;
    std::string FileName;
    std::string Filter;
};

// What to do with a transfer's target that exists already.
enum class OverwriteChoice { Overwrite, Resume, Rename, Skip };
struct OverwriteQuestion {
    // Names the target, and what is there and what would come.
    std::string Message;
    // Whether "Resume" is offered (the target is a part of the source).
    bool CanResume = false;
};
struct OverwriteAnswer {
    OverwriteChoice Choice = OverwriteChoice::Skip;
    // "Do the same for the rest of the queue".
    bool ForTheRest = false;
};

// Every question and message box the program shows, and its file and folder dialogs.
// The Qt layer shows real ones; tests answer through a double, never a person.
class IDialogs : public IFolderBrowser {
public:
    // An error box titled "Error" with one "OK" button; returns once it is closed.
    virtual void ShowError(const std::string& message) = 0;
    // A box titled "Confirm" with "Yes" and "No"; true for "Yes".
    virtual bool Confirm(const std::string& message) = 0;
    // The question about a server certificate that did not verify: "Trust always",
    // "Trust this time" and "Cancel", which Enter and Escape answer.
    enum class TrustAnswer { Always, ThisTime, Cancel };
    virtual TrustAnswer AskTrust(const std::string& title, const std::string& message) = 0;
    virtual void ShowInformation(const std::string& title, const std::string& message) = 0;
    // The question about a transfer's existing target, titled "File exists": "Overwrite",
    // "Resume" (when offered), "Rename", "Skip", which Enter and Escape answer, and a
    // check box "Do the same for the rest of the queue".
    virtual OverwriteAnswer AskOverwrite(const OverwriteQuestion& question) = 0;
    // The application's own error box (titled "Harbrook") for errors no command caught;
    // the text is already in its final form (ApplicationErrorText).
    virtual void ShowApplicationError(const std::string& message) = 0;
    // The chosen files in the dialog's order; empty when cancelled.
    virtual std::vector<std::string> OpenFiles(const OpenFilesRequest& request) = 0;
    // The chosen path; empty when cancelled.
    virtual std::string SaveFile(const SaveFileRequest& request) = 0;
};

// The process's dialogs; set once the GUI exists (tests set a double).
IDialogs& Dialogs();
void SetDialogs(IDialogs* dialogs);

// The text of the application's error box: the message with "." appended unless it
// already ends in a character no greater than "." (a full stop, a comma, a blank, a
// line end...).
std::string ApplicationErrorText(const std::string& message);

// Opening documents and starting programs, as the desktop does it. Failures are
// silent: the caller has nothing to add to them.
class IShell {
public:
    virtual ~IShell() = default;
    // Opens the file with the program the desktop associates with it; false when no
    // program took it.
    virtual bool OpenDocument(const std::string& path) = 0;
    // Starts a program and does not wait for it.
    virtual void StartProgram(const std::string& program, const std::vector<std::string>& arguments) = 0;
    // Starts a command line, shown normally; an address ("http://...", or a bare
    // "www." one) opens as the desktop opens addresses (xdg-open).
    virtual void StartCommandLine(const std::string& commandLine) = 0;
};

IShell& Shell();
void SetShell(IShell* shell);

}  // namespace harbrook
