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
        input = withoutLoneSurrogates(input);
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

QString withoutLoneSurrogates(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    // Most texts have none: return them as they are, without a copy.
    for (; i < n; ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            break;
    }
    if (i == n)
        return text;
    QString out = text;
    for (; i < n; ++i) {
        const QChar c = out.at(i);
        if (c.isHighSurrogate() && i + 1 < n && out.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            out[i] = QChar(QChar::ReplacementCharacter);
    }
    return out;
}

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
