#include "widgets/TypedText.h"

#include <QLineEdit>
#include <QString>
#include <QToolTip>
#include <QValidator>

namespace quarvel {
namespace {

class TypedTextValidator final : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int&) const override
    {
        if (input.contains(QChar(u'\0')))
            return Invalid;
        if (!input.isValidUtf16())
            input = QString::fromUtf8(input.toUtf8());
        return Acceptable;
    }
};

void tellWhy(QLineEdit* box)
{
    const bool full = box->maxLength() > 0 && box->text().size() >= box->maxLength();
    const QString why = full ? QStringLiteral("最多可输入 %1 个字符，多出的部分没有输入。").arg(box->maxLength())
                             : QStringLiteral("输入中含有不能使用的字符（空字符），没有输入。");
    QToolTip::showText(box->mapToGlobal(QPoint(0, box->height())), why, box);
}

}  // namespace

void guardTypedText(QLineEdit* box, int maxLength)
{
    if (maxLength > 0)
        box->setMaxLength(maxLength);
    if (!box->validator())
        box->setValidator(new TypedTextValidator(box));
    if (!box->property("quarvelGuarded").toBool()) {
        box->setProperty("quarvelGuarded", true);
        QObject::connect(box, &QLineEdit::inputRejected, box, [box] { tellWhy(box); });
    }
}

void guardTypedTexts(QWidget* window)
{
    const auto boxes = window->findChildren<QLineEdit*>();
    for (QLineEdit* box : boxes) {
        if (!box->validator())
            guardTypedText(box);
    }
}

}  // namespace quarvel
