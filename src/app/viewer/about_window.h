#pragma once

#include <QDialog>
#include <QUrl>

#include <functional>

class QLabel;

namespace zr::app {

// The about window: borderless artwork with the program's version and build date, a close
// button that lights up under the mouse, and a link to the maker's web site.
class TfrmSobre final : public QDialog {
    Q_OBJECT

public:
    // The maker's web site, opened by clicking imgSite.
    static const QUrl kSite;

    // The window is centred on `owner` when shown.
    explicit TfrmSobre(QWidget* owner = nullptr);

    // Opens a URL in the user's browser; QDesktopServices::openUrl unless replaced (tests).
    std::function<bool(const QUrl&)> openUrl;

    QLabel* imgSobre = nullptr;
    QLabel* lbVersaoSistema = nullptr;
    QLabel* lbEdicaoSistema = nullptr;
    QLabel* imgFecharOff = nullptr;
    QLabel* imgFecharOn = nullptr;
    QLabel* imgSite = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
};

} // namespace zr::app
