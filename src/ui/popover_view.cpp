#include "ui/popover_view.h"

#include "ui/popover_model.h"
#include "ui/ui_colors.h"
#include "ui/usage_bar_widget.h"

#include <QComboBox>
#include <QDateTime>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

namespace twk::ui {
namespace {

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

QString css(const QColor& c)
{
    return QStringLiteral("rgba(%1,%2,%3,%4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alphaF());
}

QLabel* label(const QString& text, const QString& style, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setStyleSheet(style);
    l->setWordWrap(true);
    return l;
}

QFrame* divider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFixedHeight(1);
    line->setStyleSheet("background: rgba(255,255,255,0.1);");
    return line;
}

QString caption(double alpha = 0.5)
{
    return QStringLiteral("color: %1; font-size: 10px; letter-spacing: 1px;").arg(css(white(alpha)));
}

QPushButton* smallButton(const QString& text, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setCursor(Qt::PointingHandCursor);
    b->setStyleSheet("QPushButton { color: white; background: transparent; font-size: 11px; padding: 4px 10px;"
                     " border: 1px solid rgba(255,255,255,0.2); border-radius: 6px; }"
                     "QPushButton:hover { background: rgba(255,255,255,0.08); }");
    return b;
}

QString link(const std::string& text)
{
    // U+2197 stands in for the outgoing-link arrow.
    return QStringLiteral("<a href=\"#\" style=\"color:%1; text-decoration:none;\">%2 &#x2197;</a>")
        .arg(accentColor().name(), q(text).toHtmlEscaped());
}

} // namespace

PopoverView::PopoverView(AppState& state, PopoverActions actions, QWidget* parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint), state_(state), actions_(std::move(actions))
{
    setWindowTitle("tarnwick popover");
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedWidth(panelWidth);
    build();
    changes_ = state_.onWillChange([this] { scheduleRefresh(); });
    refresh();
}

void PopoverView::scheduleRefresh()
{
    // Notices arrive before the value is stored: read the state once the loop
    // is back. A hidden panel catches up when it next opens.
    if (refreshPending_ || !isVisible()) return;
    refreshPending_ = true;
    QMetaObject::invokeMethod(this, [this] {
        refreshPending_ = false;
        refresh();
    }, Qt::QueuedConnection);
}

void PopoverView::build()
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(10);
    const QString grayText = QStringLiteral("color: %1; font-size: 11px;").arg(css(toneColor(Tone::gray)));

    // Header: wordmark and settings gear.
    auto* header = new QHBoxLayout;
    header->addWidget(label(QStringLiteral("<span style=\"color:white\">tarn</span><span style=\"color:%1\">wick</span>")
                                .arg(accentColor().name()),
                            "font-size: 17px; font-weight: 600;", this));
    header->addStretch();
    gear_ = new QToolButton(this);
    gear_->setToolTip("Settings");
    gear_->setCursor(Qt::PointingHandCursor);
    gear_->setStyleSheet(QStringLiteral("QToolButton { color: %1; border: none; font-size: 15px; }").arg(css(white(0.6))));
    connect(gear_, &QToolButton::clicked, this, [this] {
        settingsOpen_ = !settingsOpen_;
        refresh();
    });
    header->addWidget(gear_);
    column->addLayout(header);

    // Missing permissions, each with its fix.
    micBlock_ = buildPermissionBlock("Microphone access required", {}, {{"Open Settings", actions_.openSoundSettings}});
    accessibilityBlock_ =
        buildPermissionBlock("Accessibility access required", {}, {{"Open Settings", actions_.requestAccessibility}});
    screenBlock_ = buildPermissionBlock(
        "Screen Recording required (so the agent can see your screen)",
        "Log in to an X11 session so tarnwick can read the screen, then click \"Quit & relaunch\" here. "
        "The desktop needs a fresh process to pick up the new permission.",
        {{"Open Settings", actions_.requestScreenRecording}, {"Quit && relaunch", actions_.relaunch}});
    for (QWidget* block : {micBlock_, accessibilityBlock_, screenBlock_}) column->addWidget(block);
    shortcutProblem_ = label({}, QStringLiteral("color: %1; font-size: 11px;").arg(css(toneColor(Tone::yellow))), this);
    column->addWidget(shortcutProblem_);

    // Who the user is.
    identity_ = label({}, grayText, this);
    identity_->setStyleSheet(grayText + " background: rgba(255,255,255,0.04); border-radius: 8px; padding: 8px 10px;");
    identity_->setTextFormat(Qt::RichText);
    connect(identity_, &QLabel::linkActivated, this, [this] {
        const auto row = identityRow(state_.linked(), state_.email());
        const auto target = row.link == IdentityRow::Link::signIn ? actions_.signInLink : actions_.dashboardLink;
        if (target && actions_.openUrl) actions_.openUrl(target());
    });
    column->addWidget(identity_);

    power_ = new QPushButton(this);
    power_->setCursor(Qt::PointingHandCursor);
    power_->setMinimumHeight(34);
    connect(power_, &QPushButton::clicked, this, [this] { state_.setEnabled(!state_.isEnabled()); });
    column->addWidget(power_);

    status_ = label({}, {}, this);
    column->addWidget(status_);

    // Reply style.
    column->addWidget(label("VOICE STYLE", caption(), this));
    auto* styleRow = new QHBoxLayout;
    styleRow->setSpacing(6);
    for (Verbosity v : allVerbosities) {
        auto* b = new QPushButton(q(std::string(rawValue(v))), this);
        b->setCursor(Qt::PointingHandCursor);
        connect(b, &QPushButton::clicked, this, [this, v] { state_.verbosity.set(v); });
        styles_.push_back(b);
        styleRow->addWidget(b);
    }
    column->addLayout(styleRow);

    // Microphone and voice, behind the gear.
    settings_ = new QWidget(this);
    auto* settingsColumn = new QVBoxLayout(settings_);
    settingsColumn->setContentsMargins(0, 0, 0, 0);
    settingsColumn->setSpacing(6);
    settingsColumn->addWidget(divider(settings_));
    settingsColumn->addWidget(label("MICROPHONE", caption(), settings_));
    mic_ = new QComboBox(settings_);
    connect(mic_, &QComboBox::activated, this, [this](int index) {
        if (actions_.chooseMic) actions_.chooseMic(mic_->itemData(index).toString().toStdString());
    });
    settingsColumn->addWidget(mic_);
    micNote_ = label("Switching mic restarts the active session briefly.", grayText, settings_);
    settingsColumn->addWidget(micNote_);
    settingsColumn->addWidget(label("VOICE", caption(), settings_));
    voice_ = new QComboBox(settings_);
    for (auto name : AppState::voiceOptions) voice_->addItem(q(std::string(name)));
    connect(voice_, &QComboBox::activated, this,
            [this](int index) { state_.voice.set(voice_->itemText(index).toStdString()); });
    settingsColumn->addWidget(voice_);
    settingsColumn->addWidget(label("Applies on next TURN ON.", grayText, settings_));
    column->addWidget(settings_);

    // Minutes left.
    column->addWidget(divider(this));
    column->addWidget(label("minutes left", caption(), this));
    minutes_ = label({}, {}, this);
    minutes_->setTextFormat(Qt::RichText);
    column->addWidget(minutes_);
    planLine_ = label({}, {}, this);
    planLine_->setTextFormat(Qt::RichText);
    column->addWidget(planLine_);
    usageBar_ = new UsageBarWidget(this);
    column->addWidget(usageBar_);

    // The last exchange.
    transcript_ = new QWidget(this);
    auto* transcriptColumn = new QVBoxLayout(transcript_);
    transcriptColumn->setContentsMargins(0, 0, 0, 0);
    transcriptColumn->addWidget(divider(transcript_));
    you_ = label({}, "color: white; font-size: 11px;", transcript_);
    assistant_ = label({}, grayText, transcript_);
    transcriptColumn->addWidget(you_);
    transcriptColumn->addWidget(assistant_);
    column->addWidget(transcript_);

    column->addStretch();
    auto* footer = new QHBoxLayout;
    footer->addStretch();
    auto* quit = smallButton("Quit", this);
    quit->setStyleSheet(quit->styleSheet().replace("color: white", "color: rgba(255,255,255,0.7)"));
    connect(quit, &QPushButton::clicked, this, [this] {
        if (actions_.quit) actions_.quit();
    });
    footer->addWidget(quit);
    column->addLayout(footer);

    setStyleSheet("QComboBox { color: white; background: rgba(255,255,255,0.06); border: 1px solid "
                  "rgba(255,255,255,0.15); border-radius: 6px; padding: 3px 8px; font-size: 12px; }"
                  "QComboBox:disabled { color: rgba(255,255,255,0.6); }"
                  "QComboBox QAbstractItemView { color: white; background: #1c1c1e; selection-background-color: "
                  "#3a3a3c; }");
}

QWidget* PopoverView::buildPermissionBlock(const QString& title, const QString& note,
                                           std::vector<std::pair<QString, std::function<void()>>> buttons)
{
    auto* block = new QWidget(this);
    auto* column = new QVBoxLayout(block);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    column->addWidget(label(title, QStringLiteral("color: %1; font-size: 12px; font-weight: 600;")
                                       .arg(css(toneColor(Tone::red))), block));
    if (!note.isEmpty()) column->addWidget(label(note, "color: rgba(255,255,255,0.55); font-size: 10px;", block));
    auto* row = new QHBoxLayout;
    for (auto& [text, action] : buttons) {
        auto* b = smallButton(text, block);
        connect(b, &QPushButton::clicked, this, [action = action] {
            if (action) action();
        });
        row->addWidget(b);
    }
    row->addStretch();
    column->addLayout(row);
    return block;
}

void PopoverView::refresh()
{
    const auto blocks = permissionBlocks(state_.micGranted(), state_.accessibilityGranted(),
                                         state_.screenRecordingGranted());
    const auto shows = [&](PermissionBlock b) { return std::find(blocks.begin(), blocks.end(), b) != blocks.end(); };
    micBlock_->setVisible(shows(PermissionBlock::microphone));
    accessibilityBlock_->setVisible(shows(PermissionBlock::accessibility));
    screenBlock_->setVisible(shows(PermissionBlock::screenRecording));
    shortcutProblem_->setText(q(state_.shortcutProblem()));
    shortcutProblem_->setVisible(!state_.shortcutProblem().empty());

    gear_->setText(settingsOpen_ ? QStringLiteral("\u2699\uFE0E") : QStringLiteral("\u2699"));
    gear_->setStyleSheet(QStringLiteral("QToolButton { color: %1; border: none; font-size: 15px; }")
                             .arg(css(settingsOpen_ ? Qt::white : white(0.6))));

    const auto row = identityRow(state_.linked(), state_.email());
    QString identity = row.signedIn ? QStringLiteral("<span style=\"color:%1\">&#x2714;</span> ").arg(accentColor().name())
                                    : QString();
    identity += q(row.text).toHtmlEscaped();
    if (!row.linkLabel.empty()) identity += "&nbsp;&nbsp;" + link(row.linkLabel);
    identity_->setText(identity);

    const bool on = state_.isEnabled();
    power_->setText(on ? QStringLiteral("\u25CF  ON") : QStringLiteral("\u25CF  TURN ON"));
    power_->setStyleSheet(QStringLiteral("QPushButton { font-family: monospace; font-size: 11px; border: none;"
                                         " border-radius: 8px; color: %1; background: %2; }")
                              .arg(on ? "black" : css(toneColor(Tone::gray)), on ? accentColor().name() : css(white(0.04))));

    const auto line = popoverStatusLine(state_.status(), state_.agentStepCount(), state_.agentLastStep());
    const QColor statusColor = line.tone == Tone::red ? withAlpha(toneColor(Tone::red), 0.85) : toneColor(line.tone);
    QString statusText = q(line.text).toUpper().toHtmlEscaped();
    if (!line.agentSuffix.empty())
        statusText += QStringLiteral(" <span style=\"color:rgba(255,255,255,0.55)\">%1</span>")
                          .arg(q(line.agentSuffix).toHtmlEscaped());
    status_->setText(statusText);
    status_->setStyleSheet(QStringLiteral("color: %1; font-size: 11px; font-weight: 600; letter-spacing: 1px;")
                               .arg(css(statusColor)));

    for (size_t i = 0; i < styles_.size(); ++i) {
        const bool chosen = allVerbosities[i] == state_.verbosity();
        styles_[i]->setStyleSheet(
            QStringLiteral("QPushButton { color: %1; background: %2; border: none; border-radius: 6px;"
                           " padding: 4px 6px; font-size: 11px; }")
                .arg(chosen ? "black" : css(white(0.7)), chosen ? accentColor().name() : css(white(0.06))));
    }

    const auto sections = popoverSections(state_, settingsOpen_);
    settings_->setVisible(sections.settings);
    micNote_->setVisible(sections.micSwitchNote);
    voice_->setCurrentText(q(state_.voice()));
    voice_->setEnabled(sections.voicePickerEnabled);

    minutes_->setText(QStringLiteral("<span style=\"color:white; font-size:22px; font-weight:600\">%1</span>"
                                     "<span style=\"color:%2; font-size:11px\"> min</span>")
                          .arg(q(minutesDisplay(state_.remainingSeconds())), toneColor(Tone::gray).name()));
    const std::string reset = resetText(state_.resetAt(), [](std::int64_t s) {
        return QLocale().toString(QDateTime::fromSecsSinceEpoch(s), "MMM d").toStdString();
    });
    QString planText;
    if (!state_.plan().empty())
        planText = QStringLiteral("<span style=\"color:rgba(255,255,255,0.7); font-size:11px\">%1</span> ")
                       .arg(q(state_.plan()).toHtmlEscaped());
    if (!reset.empty())
        planText += QStringLiteral("<span style=\"color:%1; font-size:10px\">%2</span>")
                        .arg(toneColor(Tone::gray).name(), q(reset).toHtmlEscaped());
    planLine_->setText(planText);
    planLine_->setVisible(!planText.isEmpty());
    usageBar_->setBar(usageBar(state_.remainingSeconds(), state_.quotaSeconds()));

    transcript_->setVisible(sections.transcript);
    you_->setText("you · " + q(state_.lastUserUtterance()));
    you_->setVisible(!state_.lastUserUtterance().empty());
    assistant_->setText("asst · " + q(state_.lastAssistantUtterance()));
    assistant_->setVisible(!state_.lastAssistantUtterance().empty());

    adjustSize();
}

void PopoverView::refreshMics()
{
    mic_->clear();
    mic_->addItem("System default", QString());
    if (actions_.availableMics)
        for (const auto& [id, name] : actions_.availableMics()) mic_->addItem(q(name), q(id));
    const QString chosen = actions_.selectedMicID ? q(actions_.selectedMicID()) : QString();
    const int index = mic_->findData(chosen);
    mic_->setCurrentIndex(index < 0 ? 0 : index);
}

void PopoverView::popUpAt(const QPoint& topRight)
{
    refresh();
    QPoint origin(topRight.x() - width(), topRight.y());
    if (const QScreen* screen = QGuiApplication::screenAt(topRight)) {
        const QRect area = screen->availableGeometry();
        origin.setX(std::clamp(origin.x(), area.left(), area.right() - width()));
        origin.setY(std::clamp(origin.y(), area.top(), std::max(area.top(), area.bottom() - height())));
    }
    move(origin);
    show();
    activateWindow();
}

void PopoverView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(white(0.12), 1));
    p.setBrush(QColor::fromRgbF(0, 0, 0, 0.92f));
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
}

void PopoverView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PopoverView::showEvent(QShowEvent* event)
{
    refresh();
    refreshMics();
    QWidget::showEvent(event);
}

void PopoverView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (onClosed) onClosed();
}

} // namespace twk::ui
