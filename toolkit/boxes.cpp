#include "toolkit/registry.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <memory>

#include <optional>
#include <utility>

namespace tk {

namespace {

// The one-line question: prompt, field holding the default (selected), OK.
class InputDialog : public QDialog {
  public:
    InputDialog(const QString& title, const QString& prompt, const QString& defaultText,
                const QString& fieldName, QWidget* owner)
        : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
        setWindowTitle(windowSystemTitle(title));
        setWindowModality(Qt::ApplicationModal);
        auto* label = new QLabel(prompt);
        label->setTextFormat(Qt::PlainText);
        field_ = new QLineEdit(defaultText);
        field_->selectAll();
        field_->setAccessibleName(fieldName.isEmpty() ? prompt : fieldName);
        label->setBuddy(field_);
        // A standard button, so that its text follows Qt's language.
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
        buttons->button(QDialogButtonBox::Ok)->setDefault(true);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(label);
        layout->addWidget(field_);
        layout->addWidget(buttons);
        setMinimumWidth(300);
    }

    QString answer() const { return field_->text(); }

  private:
    QLineEdit* field_;
};

void centre(QWidget* box) {
    box->adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        box->move(screen->availableGeometry().center() - box->rect().center());
}

// A plain box shown without an owner and without modality: it disables no
// window.
std::unique_ptr<QMessageBox> ownerlessBox(const QString& title, const QString& text) {
    auto box = std::make_unique<QMessageBox>();
    box->setWindowTitle(windowSystemTitle(title));
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    box->setStandardButtons(QMessageBox::Ok);
    box->setWindowModality(Qt::NonModal);
    return box;
}

std::optional<BoxReply> scripted(const BoxRequest& request) {
    if (!registry().boxScript)
        return std::nullopt;
    return registry().boxScript(request);
}

} // namespace

Answer messageBox(const QString& title, const QString& text, Buttons buttons) {
    if (endRequested())
        return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
    if (const auto reply = scripted({BoxRequest::Kind::Message, title, text, {}, buttons, {}}))
        return reply->answer;
    QMessageBox box(currentWindow());
    box.setWindowTitle(windowSystemTitle(title));
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setWindowModality(Qt::ApplicationModal);
    if (buttons == Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int chosen = box.exec();
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    return chosen == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

QString inputBox(const QString& title, const QString& prompt, const QString& defaultText,
                 const QString& fieldName) {
    if (endRequested())
        return {};
    if (const auto reply =
            scripted({BoxRequest::Kind::Input, title, prompt, defaultText, Buttons::Ok, fieldName}))
        return reply->text;
    InputDialog box(title, prompt, defaultText, fieldName, currentWindow());
    centre(&box);
    return box.exec() == QDialog::Accepted ? box.answer() : QString();
}

void ownerlessMessageBox(const QString& title, const QString& text) {
    if (endRequested())
        return;
    if (scripted({BoxRequest::Kind::Message, title, text, {}, Buttons::Ok, {}}))
        return;
    auto box = ownerlessBox(title, text);
    QEventLoop loop;
    QObject::connect(box.get(), &QDialog::finished, &loop, &QEventLoop::quit);
    box->show();
    loop.exec();
}

void noticeBox(const QString& title, const QString& text) {
    if (scripted({BoxRequest::Kind::Message, title, text, {}, Buttons::Ok, {}}))
        return;
    QMessageBox* box = ownerlessBox(title, text).release();
    box->setAttribute(Qt::WA_DeleteOnClose);
    std::erase_if(registry().notices,
                  [](const QPointer<QWidget>& shown) { return shown.isNull(); });
    registry().notices.emplace_back(box);
    box->show();
}

void closeNoticeBoxes() {
    for (const QPointer<QWidget>& box : registry().notices)
        delete box.data();
    registry().notices.clear();
}

void setBoxScript(std::function<BoxReply(const BoxRequest&)> script) {
    registry().boxScript = std::move(script);
}

} // namespace tk
