#include "toolkit/registry.h"

#include <QDialog>
#include <QEventLoop>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace tk {

namespace {

// The one-line question: prompt, field holding the default (selected), OK.
class InputDialog : public QDialog {
  public:
    InputDialog(const QString& title, const QString& prompt, const QString& defaultText,
                QWidget* owner)
        : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
        setWindowTitle(windowSystemTitle(title));
        setWindowModality(Qt::ApplicationModal);
        auto* label = new QLabel(prompt);
        label->setTextFormat(Qt::PlainText);
        field_ = new QLineEdit(defaultText);
        field_->selectAll();
        auto* ok = new QPushButton(QStringLiteral("OK"));
        ok->setDefault(true);
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
        auto* buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(ok);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(label);
        layout->addWidget(field_);
        layout->addLayout(buttons);
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

std::optional<BoxReply> scripted(const BoxRequest& request) {
    if (!registry().boxScript)
        return std::nullopt;
    return registry().boxScript(request);
}

} // namespace

Answer messageBox(const QString& title, const QString& text, Buttons buttons) {
    if (endRequested())
        return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
    if (const auto reply = scripted({BoxRequest::Kind::Message, title, text, {}, buttons}))
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

QString inputBox(const QString& title, const QString& prompt, const QString& defaultText) {
    if (endRequested())
        return {};
    if (const auto reply =
            scripted({BoxRequest::Kind::Input, title, prompt, defaultText, Buttons::Ok}))
        return reply->text;
    InputDialog box(title, prompt, defaultText, currentWindow());
    centre(&box);
    return box.exec() == QDialog::Accepted ? box.answer() : QString();
}

void ownerlessMessageBox(const QString& title, const QString& text) {
    if (endRequested())
        return;
    if (scripted({BoxRequest::Kind::Message, title, text, {}, Buttons::Ok}))
        return;
    // Shown without an owner and without modality: no window is disabled.
    QMessageBox box;
    box.setWindowTitle(windowSystemTitle(title));
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    box.setWindowModality(Qt::NonModal);
    QEventLoop loop;
    QObject::connect(&box, &QDialog::finished, &loop, &QEventLoop::quit);
    box.show();
    loop.exec();
}

void setBoxScript(std::function<BoxReply(const BoxRequest&)> script) {
    registry().boxScript = std::move(script);
}

} // namespace tk
