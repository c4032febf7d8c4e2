// trimText and adjustFont on real widgets.
#include "editor/app/EditorConstants.h"
#include "editor/app/EditorText.h"

#include <QFontMetrics>
#include <QLabel>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

const QString Label{QChar(TrimLabel)};

TEST(AppText, TrimTextKeepsTextThatFits)
{
    QLabel label;
    const QFontMetrics fm(label.font());
    const QString text = "Cutoff";
    EXPECT_EQ(trimText(&label, text, fm.horizontalAdvance(text)), text);
    EXPECT_EQ(trimText(&label, text, 10000), text);
    EXPECT_EQ(trimText(&label, QString(), 0), QString());
}

TEST(AppText, TrimTextCutsToTheLongestStartThatFitsWithTheLabel)
{
    QLabel label;
    const QFontMetrics fm(label.font());
    const QString text = "Filter Envelope Amount";
    for (int keep : {1, 3, 8, 15}) {
        const QString expected = text.left(keep) + Label;
        const int width = fm.horizontalAdvance(expected);
        const QString trimmed = trimText(&label, text, width);
        EXPECT_EQ(trimmed, expected) << keep;
        EXPECT_LE(fm.horizontalAdvance(trimmed), width);
    }
}

TEST(AppText, TrimTextGivesTheLabelAloneWhenNothingFits)
{
    QLabel label;
    EXPECT_EQ(trimText(&label, "Resonance", 0), Label);
    EXPECT_EQ(trimText(&label, "Resonance", -5), Label);
    EXPECT_EQ(trimText(nullptr, "Resonance", 0), "Resonance");
}

TEST(AppText, TrimTextNeverSplitsASurrogatePair)
{
    QLabel label;
    const QFontMetrics fm(label.font());
    const QString text = QString("ab") + QString::fromUcs4(U"\U0001F3B9") + "cdefgh";
    for (int width = 0; width < fm.horizontalAdvance(text); ++width) {
        const QString trimmed = trimText(&label, text, width);
        ASSERT_FALSE(trimmed.isEmpty());
        const QString kept = trimmed.chopped(1);
        EXPECT_TRUE(kept.isEmpty() || !kept.back().isHighSurrogate()) << width;
    }
}

TEST(AppText, AdjustFontSizesTheBitmapFontsAndPassesFontsDown)
{
    QWidget top;
    QFont ebm10{QString::fromLatin1(FontEBM10)};
    ebm10.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    top.setFont(ebm10);

    auto* inherits = new QLabel(&top);     // no font of its own
    auto* ebm8 = new QLabel(&top);
    ebm8->setFont(QFont(QLatin1String(FontEBM8), 12));
    auto* other = new QLabel(&top);
    QFont helvetica("Helvetica", 13);
    other->setFont(helvetica);
    auto* grandChild = new QLabel(ebm8);  // inherits from an EBM 8 parent

    adjustFont(&top);

    EXPECT_EQ(top.font().pixelSize(), 10);
    EXPECT_DOUBLE_EQ(top.font().letterSpacing(), 1.5);
    EXPECT_EQ(top.font().letterSpacingType(), QFont::AbsoluteSpacing);
    EXPECT_EQ(top.font().styleStrategy() & QFont::NoAntialias, QFont::NoAntialias);

    EXPECT_EQ(inherits->font().family(), QLatin1String(FontEBM10));
    EXPECT_EQ(inherits->font().pixelSize(), 10);
    EXPECT_TRUE(inherits->testAttribute(Qt::WA_SetFont));

    EXPECT_EQ(ebm8->font().pixelSize(), 8);
    // Letter spacing is kept in 1/64 pixel steps.
    EXPECT_NEAR(ebm8->font().letterSpacing(), 0.1, 1.0 / 64);
    EXPECT_EQ(ebm8->font().letterSpacingType(), QFont::AbsoluteSpacing);

    EXPECT_EQ(grandChild->font().family(), QLatin1String(FontEBM8));
    EXPECT_EQ(grandChild->font().pixelSize(), 8);

    // Other families are left exactly as they were.
    EXPECT_EQ(other->font().family(), "Helvetica");
    EXPECT_EQ(other->font().pointSize(), 13);
    EXPECT_EQ(other->font().pixelSize(), -1);
}

TEST(AppText, AdjustFontLeavesWidgetsWithoutFontsAlone)
{
    QWidget top;
    auto* child = new QLabel(&top);
    const QFont before = child->font();
    adjustFont(&top);
    adjustFont(nullptr);
    EXPECT_FALSE(child->testAttribute(Qt::WA_SetFont));
    EXPECT_EQ(child->font(), before);
}

} // namespace
