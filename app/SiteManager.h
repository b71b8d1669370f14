#pragma once

#include <QDialog>

#include <functional>

#include "engine/SiteList.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

// The site manager: the saved sites on the left, the chosen one's fields on the right,
// and New, Rename, Copy, Delete, Connect. Every change goes to sites.ini at once; a
// double click on a site connects.
class TSiteManager : public QDialog {
public:
    TSiteManager(TSiteList& sites, QWidget* parent = nullptr);

    // Called with the chosen site when the user connects; the dialog then closes.
    std::function<void(const Site& site)> OnConnect;
    // Called after every save of the sites (the window tells of a keyring that failed).
    std::function<void()> AfterSave;

    void done(int result) override;

    // The widgets, for tests that drive the dialog.
    QListWidget* SiteNames;
    QLineEdit* Name;
    QLineEdit* Host;
    QSpinBox* Port;
    QLineEdit* Account;
    QLineEdit* Password;
    QComboBox* Encryption;
    QCheckBox* Passive;
    QLineEdit* RemoteFolder;
    QLineEdit* LocalFolder;
    QPushButton* NewButton;
    QPushButton* RenameButton;
    QPushButton* CopyButton;
    QPushButton* DeleteButton;
    QPushButton* ConnectButton;

private:
    void fillNames(int select);
    void showSite(int index);
    void takeFields();
    void takeName();
    void takeTypedPassword();
    void save();
    void connectChosen();

    TSiteList& m_sites;
    bool m_showing = false;
};
