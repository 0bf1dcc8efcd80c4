#include "trace_pane.h"

#include <QtGui/QClipboard>
#include <QtGui/QFontDatabase>
#include <QtGui/QGuiApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QScrollBar>

namespace monitor {

namespace {

const int linesKept = 2000;

} // namespace

TracePane::TracePane(QWidget *parent)
    : QWidget(parent), text(new QPlainTextEdit), paused(new QCheckBox(tr("Pause"))),
      skipped(new QLabel)
{
    text->setObjectName(QStringLiteral("trace"));
    text->setReadOnly(true);
    text->setMaximumBlockCount(linesKept);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto *copyButton = new QPushButton(tr("Copy"));
    auto *clear = new QPushButton(tr("Clear"));
    connect(copyButton, &QPushButton::clicked, this, &TracePane::copy);
    connect(clear, &QPushButton::clicked, text, &QPlainTextEdit::clear);
    connect(paused, &QCheckBox::toggled, this, [this](bool on) {
        if (!on)
            notShown = 0;
        skipped->clear();
    });
    auto *controls = new QHBoxLayout;
    controls->addWidget(new QLabel(tr("Trace (last %1 lines)").arg(linesKept)));
    controls->addWidget(paused);
    controls->addWidget(skipped);
    controls->addStretch();
    controls->addWidget(copyButton);
    controls->addWidget(clear);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(controls);
    layout->addWidget(text);
}

void TracePane::append(const QStringList &lines, quint64 missed)
{
    if (paused->isChecked()) {
        notShown += quint64(lines.size()) + missed;
        skipped->setText(tr("%1 lines not shown").arg(notShown));
        return;
    }
    if (missed > 0)
        text->appendPlainText(tr("… %1 lines missed").arg(missed));
    // The newest lines only: the pane keeps no more anyway.
    const int first = std::max(0, int(lines.size()) - linesKept);
    if (first < lines.size())
        text->appendPlainText(lines.mid(first).join(QLatin1Char('\n')));
    text->verticalScrollBar()->setValue(text->verticalScrollBar()->maximum());
}

void TracePane::copy()
{
    const QString selected = text->textCursor().selectedText().replace(QChar::ParagraphSeparator,
                                                                        QLatin1Char('\n'));
    QGuiApplication::clipboard()->setText(selected.isEmpty() ? text->toPlainText() : selected);
}

} // namespace monitor
