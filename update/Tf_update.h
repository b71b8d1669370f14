#pragma once

#include <QLabel>
#include <QWidget>

#include <functional>
#include <string>

#include "update/UpdateCheck.h"
#include "widgets/LumoGrbutton.h"
#include "widgets/LumoListbox.h"
#include "widgets/LumoProgressbar.h"

// The update window: each showing asks the update server for a message and the newest
// build once, and can fetch a newer installer and start it.
class Tf_update : public QWidget, private harbrook::update::IUpdateView {
public:
    // `programPath` is the running program's file: its build and folder.
    explicit Tf_update(const std::string& programPath, QWidget* parent = nullptr);

    QLabel* Label1;
    TLumo_listbox* Lumo_listbox1;
    TLumo_grbutton* Lumo_grbutton4;
    TLumo_progressbar* Lumo_progressbar1;

    bool Checked = false;
    std::int32_t OwnBuild = 0;
    std::string ProgramFolder;
    std::string UpdateHost;
    std::string WindowCaption;
    // The update port and read time-out; settable so tests need not wait 5 s.
    std::uint16_t UpdatePort = harbrook::update::kUpdatePort;
    int ReadTimeoutMs = 5000;
    // Ends the program once a downloaded installer was started.
    std::function<void()> OnTerminate;

    void FormCreate(const std::string& programPath);
    void FormShow();
    void FormActivate();
    void FormClose();
    void AddLogLine(const std::string& text);
    // The download's progress on the bar; the window takes events meanwhile, and
    // closing it ends the download (the check logs it as a failed download).
    void ShowDownloadProgress(std::int64_t written) override;
    void RunUpdateCheck();
    // How many checks ran (tests).
    int Checks() const { return m_checks; }

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Lets the window be drawn before work that holds the GUI thread.
    void paintBeforeWork();
    // IUpdateView
    void Log(const std::string& text) override { AddLogLine(text); }
    void SetCaption(const std::string& caption) override;
    void SetPosition(std::int64_t position) override;
    void SetMaximum(std::int64_t maximum) override;
    void ProcessEvents() override;
    void ShowMessage(const std::string& message) override;
    void ShowError(const std::string& message) override;
    std::string ChooseSavePath(const std::string& path) override;
    bool ConfirmLaunch(const std::string& question) override;

    std::string m_programName;
    int m_checks = 0;
    bool m_closed = false;
};
