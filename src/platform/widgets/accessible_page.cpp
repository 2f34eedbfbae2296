#include "accessible_page.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QObject>
#include <QWidget>

#include <algorithm>

namespace zr {

namespace {

struct PageSource {
    std::function<QString()> text;
    QString shown; // the text readers were last told of
    int caret = 0;
};

QHash<const QObject*, PageSource>& pages() {
    static QHash<const QObject*, PageSource> map;
    return map;
}

class AccessiblePage final : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit AccessiblePage(QWidget* view) : QAccessibleWidget(view, QAccessible::Document) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::TextInterface ? static_cast<QAccessibleTextInterface*>(this)
                                                  : QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.multiLine = true;
        s.focusable = true;
        return s;
    }

    // ---- Text. (The widget's text by kind, its name among them, stays as it was.)
    using QAccessibleWidget::text;
    QString text(int startOffset, int endOffset) const override {
        const QString all = content();
        const int start = std::clamp(startOffset, 0, int(all.size()));
        const int end =
            std::clamp(endOffset < 0 ? int(all.size()) : endOffset, start, int(all.size()));
        return all.mid(start, end - start);
    }
    int characterCount() const override { return int(content().size()); }
    int cursorPosition() const override {
        return std::clamp(source() ? source()->caret : 0, 0, characterCount());
    }
    void setCursorPosition(int position) override {
        if (PageSource* s = source()) {
            s->caret = std::clamp(position, 0, characterCount());
        }
    }
    void selection(int, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    // Where a character is drawn is the engine's business; readers get the view's box, which
    // is where the caret is shown (the view itself).
    QRect characterRect(int) const override { return rect(); }
    int offsetAtPoint(const QPoint&) const override { return cursorPosition(); }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* startOffset, int* endOffset) const override {
        *startOffset = offset;
        *endOffset = offset;
        return {};
    }

private:
    PageSource* source() const {
        auto it = pages().find(object());
        return it == pages().end() ? nullptr : &it.value();
    }
    QString content() const {
        PageSource* s = source();
        if (!s || !s->text) {
            return {};
        }
        s->shown = s->text();
        return s->shown;
    }
};

QAccessibleInterface* pageFactory(const QString&, QObject* object) {
    if (object && object->isWidgetType() && pages().contains(object)) {
        return new AccessiblePage(static_cast<QWidget*>(object));
    }
    return nullptr;
}

} // namespace

void makeAccessiblePage(QWidget* view, const QString& name, std::function<QString()> text) {
    static const bool installed = [] {
        QAccessible::installFactory(pageFactory);
        return true;
    }();
    (void)installed;
    pages().insert(view, PageSource{std::move(text), {}, 0});
    QObject::connect(view, &QObject::destroyed, [view] { pages().remove(view); });
    // Any event about the view (its name, its focus) has made Qt keep an interface for it of
    // the view's class; that one goes, so that the next question gets the page.
    QAccessibleInterface* existing = QAccessible::queryAccessibleInterface(view);
    if (existing && !dynamic_cast<AccessiblePage*>(existing)) {
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(existing));
    }
    view->setAccessibleName(name);
}

void accessiblePageChanged(QWidget* view) {
    auto it = pages().find(view);
    if (it == pages().end()) {
        return;
    }
    PageSource& source = it.value();
    source.caret = 0;
    if (!QAccessible::isActive()) {
        source.shown.clear();
        return;
    }
    const QString before = source.shown;
    const QString after = source.text ? source.text() : QString();
    if (after == before) {
        return;
    }
    source.shown = after;
    QAccessibleTextUpdateEvent changed(view, 0, before, after);
    QAccessible::updateAccessibility(&changed);
    QAccessibleTextCursorEvent caret(view, 0);
    QAccessible::updateAccessibility(&caret);
}

} // namespace zr
