#include "app/SiteManager.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

#include "platform/Dialogs.h"
#include "platform/qt/QtDialogs.h"

namespace {

// The encryption choices in the order the box lists them.
constexpr SessionSettings::Tls kEncryptions[] = {SessionSettings::Tls::None, SessionSettings::Tls::Explicit,
                                                 SessionSettings::Tls::Required, SessionSettings::Tls::Implicit};

}  // namespace

TSiteManager::TSiteManager(TSiteList& sites, QWidget* parent) : QDialog(parent), m_sites(sites) {
    setWindowTitle(QStringLiteral("Site Manager"));
    auto* layout = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    SiteNames = new QListWidget(this);
    left->addWidget(SiteNames, 1);
    auto* buttons = new QHBoxLayout;
    NewButton = new QPushButton(QStringLiteral("New"), this);
    RenameButton = new QPushButton(QStringLiteral("Rename"), this);
    CopyButton = new QPushButton(QStringLiteral("Copy"), this);
    DeleteButton = new QPushButton(QStringLiteral("Delete"), this);
    for (QPushButton* button : {NewButton, RenameButton, CopyButton, DeleteButton}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    left->addLayout(buttons);
    layout->addLayout(left, 1);

    auto* right = new QVBoxLayout;
    auto* form = new QFormLayout;
    Name = new QLineEdit(this);
    Host = new QLineEdit(this);
    Port = new QSpinBox(this);
    Port->setRange(1, 65535);
    Account = new QLineEdit(this);
    Password = new QLineEdit(this);
    Password->setEchoMode(QLineEdit::Password);
    Encryption = new QComboBox(this);
    Encryption->addItems({QStringLiteral("None"), QStringLiteral("Explicit TLS"),
                          QStringLiteral("Explicit TLS required"), QStringLiteral("Implicit TLS")});
    Passive = new QCheckBox(QStringLiteral("Passive mode"), this);
    RemoteFolder = new QLineEdit(this);
    LocalFolder = new QLineEdit(this);
    form->addRow(QStringLiteral("Name:"), Name);
    form->addRow(QStringLiteral("Host:"), Host);
    form->addRow(QStringLiteral("Port:"), Port);
    form->addRow(QStringLiteral("Account:"), Account);
    form->addRow(QStringLiteral("Password:"), Password);
    form->addRow(QStringLiteral("Encryption:"), Encryption);
    form->addRow(QString(), Passive);
    form->addRow(QStringLiteral("Remote folder:"), RemoteFolder);
    form->addRow(QStringLiteral("Local folder:"), LocalFolder);
    right->addLayout(form);
    right->addStretch(1);
    ConnectButton = new QPushButton(QStringLiteral("Connect"), this);
    ConnectButton->setDefault(true);
    right->addWidget(ConnectButton);
    layout->addLayout(right, 2);

    QObject::connect(SiteNames, &QListWidget::currentRowChanged, this, [this](int row) { showSite(row); });
    QObject::connect(SiteNames, &QListWidget::itemDoubleClicked, this, [this] { connectChosen(); });
    QObject::connect(NewButton, &QPushButton::clicked, this, [this] {
        fillNames(m_sites.AddNew());
        save();
        Name->setFocus();
        Name->selectAll();
    });
    QObject::connect(RenameButton, &QPushButton::clicked, this, [this] {
        Name->setFocus();
        Name->selectAll();
    });
    QObject::connect(CopyButton, &QPushButton::clicked, this, [this] {
        if (SiteNames->currentRow() >= 0) {
            fillNames(m_sites.Copy(SiteNames->currentRow()));
            save();
        }
    });
    QObject::connect(DeleteButton, &QPushButton::clicked, this, [this] {
        const int row = SiteNames->currentRow();
        if (row < 0 || !harbrook::Dialogs().Confirm("Delete the site \"" + m_sites.Sites()[row].name + "\"?")) {
            return;
        }
        m_sites.Remove(row);
        fillNames(std::min(row, static_cast<int>(m_sites.Sites().size()) - 1));
        save();
    });
    QObject::connect(ConnectButton, &QPushButton::clicked, this, [this] { connectChosen(); });
    QObject::connect(Name, &QLineEdit::editingFinished, this, [this] { takeName(); });
    for (QLineEdit* field : {Host, Account, RemoteFolder, LocalFolder}) {
        QObject::connect(field, &QLineEdit::textChanged, this, [this] { takeFields(); });
    }
    // The password is taken when the user leaves the field, not at each key: each change
    // of it may go to the keyring.
    QObject::connect(Password, &QLineEdit::editingFinished, this, [this] { takeFields(); });
    QObject::connect(Port, qOverload<int>(&QSpinBox::valueChanged), this, [this] { takeFields(); });
    QObject::connect(Encryption, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int index) {
        // Implicit TLS has a port of its own; the others the usual one.
        if (!m_showing && index == 3 && Port->value() == 21) {
            Port->setValue(990);
        } else if (!m_showing && index != 3 && Port->value() == 990) {
            Port->setValue(21);
        }
        takeFields();
    });
    QObject::connect(Passive, &QCheckBox::toggled, this, [this] { takeFields(); });
    fillNames(m_sites.Sites().empty() ? -1 : 0);
    resize(640, 380);
}

void TSiteManager::fillNames(int select) {
    m_showing = true;
    SiteNames->clear();
    for (const Site& site : m_sites.Sites()) {
        SiteNames->addItem(harbrook::DisplayText(site.name));
    }
    m_showing = false;
    SiteNames->setCurrentRow(select);
    showSite(select);
}

void TSiteManager::showSite(int index) {
    const bool chosen = index >= 0 && index < static_cast<int>(m_sites.Sites().size());
    for (QWidget* field : std::initializer_list<QWidget*>{Name, Host, Port, Account, Password, Encryption, Passive,
                                                          RemoteFolder, LocalFolder, RenameButton, CopyButton,
                                                          DeleteButton, ConnectButton}) {
        field->setEnabled(chosen);
    }
    if (!chosen) {
        return;
    }
    m_showing = true;
    const Site& site = m_sites.Sites()[static_cast<std::size_t>(index)];
    Name->setText(harbrook::DisplayText(site.name));
    Host->setText(harbrook::DisplayText(site.host));
    Port->setValue(site.port);
    Account->setText(harbrook::DisplayText(site.user));
    Password->setText(harbrook::DisplayText(m_sites.Password(index)));
    for (int i = 0; i < 4; ++i) {
        if (kEncryptions[i] == site.encryption) {
            Encryption->setCurrentIndex(i);
        }
    }
    Passive->setChecked(site.passive);
    RemoteFolder->setText(harbrook::DisplayText(site.remoteFolder));
    LocalFolder->setText(harbrook::DisplayText(site.localFolder));
    m_showing = false;
}

void TSiteManager::takeFields() {
    const int row = SiteNames->currentRow();
    if (m_showing || row < 0) {
        return;
    }
    Site site;
    site.host = harbrook::LocalBytes(Host->text().trimmed());
    site.port = static_cast<std::uint16_t>(Port->value());
    site.user = harbrook::LocalBytes(Account->text());
    site.password = harbrook::LocalBytes(Password->text());
    site.encryption = kEncryptions[std::max(0, Encryption->currentIndex())];
    site.passive = Passive->isChecked();
    site.remoteFolder = harbrook::LocalBytes(RemoteFolder->text());
    site.localFolder = harbrook::LocalBytes(LocalFolder->text());
    m_sites.Update(row, site);
    save();
}

void TSiteManager::takeName() {
    const int row = SiteNames->currentRow();
    if (m_showing || row < 0) {
        return;
    }
    const std::string name = harbrook::LocalBytes(Name->text().trimmed());
    if (name == m_sites.Sites()[static_cast<std::size_t>(row)].name) {
        return;
    }
    if (!m_sites.Rename(row, name)) {
        harbrook::Dialogs().ShowError(name.empty() ? "A site needs a name."
                                                   : "There is a site named \"" + name + "\" already.");
        Name->setText(harbrook::DisplayText(m_sites.Sites()[static_cast<std::size_t>(row)].name));
        return;
    }
    SiteNames->item(row)->setText(harbrook::DisplayText(name));
    save();
}

void TSiteManager::save() {
    if (!m_sites.Save()) {
        harbrook::Dialogs().ShowError("The sites cannot be saved.");
    }
    if (AfterSave) {
        AfterSave();
    }
}

void TSiteManager::takeTypedPassword() {
    // The password field is taken when it is left; a password typed and then a connect or
    // a close at once is taken here.
    const int row = SiteNames->currentRow();
    if (row >= 0 && harbrook::LocalBytes(Password->text()) != m_sites.Password(row)) {
        takeFields();
    }
}

void TSiteManager::done(int result) {
    takeTypedPassword();
    QDialog::done(result);
}

void TSiteManager::connectChosen() {
    takeName();
    const int row = SiteNames->currentRow();
    if (row < 0) {
        return;
    }
    takeTypedPassword();
    const Site site = m_sites.Sites()[static_cast<std::size_t>(row)];
    if (site.host.empty()) {
        harbrook::Dialogs().ShowError("The site \"" + site.name + "\" has no host.");
        return;
    }
    accept();
    if (OnConnect) {
        OnConnect(site);
    }
}
