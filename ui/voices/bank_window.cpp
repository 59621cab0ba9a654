#include "ui/voices/bank_window.hpp"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/common/dialogs.hpp"
#include "ui/common/twips.hpp"
#include "base/paths.hpp"
#include "base/shared_types.hpp"

namespace ferro {

BankWindow::BankWindow(QWidget& over, QWidget* returnTo, Dialogs& dialogs, const SongVoiceList& voices,
                       std::filesystem::path folder)
    : DialogWindow(over, returnTo), dialogs_(dialogs), voices_(voices), folder_(std::move(folder)) {
    const int voiceCount = voices_.count();
    setObjectName("BankWindow");
    setWindowTitle("Save voice bank");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);

    auto* prompt = new QLabel("Please select the file format you wish to use for your voice bank", this);
    prompt->setObjectName("promptLabel");
    prompt->setWordWrap(true);
    auto* column = new QVBoxLayout(this);
    column->addWidget(prompt);
    for (std::size_t i = 0; i < options_.size(); ++i) {
        const BankFormatInfo& info = bankFormats()[i];
        options_[i] = new QRadioButton(info.caption, this);
        options_[i]->setObjectName(QString("formatButton_%1").arg(i));
        // A format whose count field cannot hold this many voices is not offered.
        options_[i]->setEnabled(voiceCount <= info.voiceLimit);
        column->addWidget(options_[i]);
        const int index = static_cast<int>(i);
        connect(options_[i], &QRadioButton::clicked, this, [this, index] { chooseFormat(index); });
    }

    auto* nameCaption = new QLabel("Bank name:", this);
    nameCaption->setObjectName("nameCaption");
    nameBox_ = new QLineEdit(this);
    nameBox_->setObjectName("nameBox");
    nameBox_->setAccessibleName("Bank name");
    nameCaption->setBuddy(nameBox_);
    extensionLabel_ = new QLabel(this);
    extensionLabel_->setObjectName("extensionLabel");
    extensionLabel_->setMinimumWidth(px(600));
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(nameCaption);
    nameRow->addWidget(nameBox_, 1);
    nameRow->addWidget(extensionLabel_);
    column->addLayout(nameRow);

    auto* ok = new QPushButton("Ok", this);
    ok->setObjectName("okButton");
    ok->setDefault(true);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("cancelButton");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    column->addLayout(buttons);
    resize(px(5400), px(3200));

    connect(ok, &QPushButton::clicked, this, &BankWindow::saveBank);
    connect(cancel, &QPushButton::clicked, this, &BankWindow::cancel);

    // fcv is recommended; raw binary when fcv cannot hold them all.
    const BankFormat initial = formatOffered(BankFormat::Fcv) ? BankFormat::Fcv : BankFormat::Raw;
    options_[static_cast<std::size_t>(initial)]->setChecked(true);
    chooseFormat(static_cast<int>(initial));
}

BankWindow* BankWindow::open(QWidget& over, QWidget* returnTo, Dialogs& dialogs, const SongVoiceList& voices,
                             std::filesystem::path folder) {
    auto* window = new BankWindow(over, returnTo, dialogs, voices, std::move(folder));
    window->showOverMain(window->nameBox_);
    return window;
}

BankFormat BankWindow::selectedFormat() const {
    for (std::size_t i = 0; i < options_.size(); ++i)
        if (options_[i]->isChecked()) return static_cast<BankFormat>(i);
    return BankFormat::Raw;
}

bool BankWindow::formatOffered(BankFormat format) const {
    return options_[static_cast<std::size_t>(format)]->isEnabled();
}

QString BankWindow::extension() const { return extensionLabel_->text(); }
QString BankWindow::bankName() const { return nameBox_->text(); }
void BankWindow::setBankName(const QString& name) { nameBox_->setText(name); }

void BankWindow::chooseFormat(int index) {
    if (index < 0 || index >= static_cast<int>(options_.size())) return;
    options_[static_cast<std::size_t>(index)]->setChecked(true);
    extensionLabel_->setText(bankFormatInfo(static_cast<BankFormat>(index)).extension);
}

void BankWindow::saveBank() {
    const std::filesystem::path path = folder_ / pathFromUtf8((bankName() + extension()).toStdString());
    if (!writeVoiceBank(voices_, selectedFormat(), path)) {
        // The window stays open: the user may change the name or the format.
        dialogs_.showMessage(kSomeError, MessageIcon::Critical);
        return;
    }
    dialogs_.showMessage(kBankSavedMessage, MessageIcon::Information);
    emit bankSaved();
    close();
}

void BankWindow::cancel() { close(); }

}  // namespace ferro
