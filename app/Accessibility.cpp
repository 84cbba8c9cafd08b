#include "app/Accessibility.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLineEdit>

namespace {

// A combo box as Qt's own interface presents it (its children the list and, where it is
// editable, the text field; its action opening and closing the list), but named as other
// controls are.
class LabelledComboBox : public QAccessibleWidget
{
public:
    explicit LabelledComboBox(QComboBox *box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QString text(QAccessible::Text type) const override
    {
        if (type == QAccessible::Value)
            return comboBox()->currentText();
        // The accessible name, else the label's text; one that has neither is named by its
        // value, as Qt names it.
        const QString text = QAccessibleWidget::text(type);
        if (type == QAccessible::Name && text.isEmpty())
            return comboBox()->currentText();
        return text;
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.expandable = true;
        state.expanded = comboBox()->view()->isVisible();
        state.editable = comboBox()->isEditable();
        return state;
    }

    int childCount() const override { return comboBox()->isEditable() ? 2 : 1; }
    QAccessibleInterface *child(int index) const override
    {
        if (index == 0)
            return QAccessible::queryAccessibleInterface(comboBox()->view());
        if (index == 1 && comboBox()->isEditable())
            return QAccessible::queryAccessibleInterface(comboBox()->lineEdit());
        return nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (child->object() == comboBox()->view())
            return 0;
        if (comboBox()->isEditable() && child->object() == comboBox()->lineEdit())
            return 1;
        return -1;
    }
    // The combo box is its text field's focus proxy, so the field never has the focus itself;
    // to assistive technology it is what has it.
    QAccessibleInterface *focusChild() const override
    {
        return comboBox()->isEditable() ? child(1) : nullptr;
    }

    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString &action) override
    {
        if (action != showMenuAction() && action != pressAction())
            return;
        if (comboBox()->view()->isVisible())
            comboBox()->hidePopup();
        else
            comboBox()->showPopup();
    }

private:
    QComboBox *comboBox() const { return static_cast<QComboBox *>(widget()); }
};

QAccessibleInterface *accessibleInterface(const QString &className, QObject *object)
{
    if (className == QLatin1String("MainWindow"))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
    if (className == QLatin1String("QComboBox"))
        return new LabelledComboBox(static_cast<QComboBox *>(object));
    return nullptr;
}

} // namespace

void installAccessibleInterfaces()
{
    // Asked before the interfaces that Qt installs itself.
    QAccessible::installFactory(accessibleInterface);
}
