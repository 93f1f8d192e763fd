#include "EmulatorOptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>

namespace {

bool fail(QString *error, const QString &text)
{
    *error = text;
    return false;
}

// Next to the executable first (an installed or copied tree), then where the build put it.
QString defaultPluginPath()
{
    const QString beside = QDir(QCoreApplication::applicationDirPath())
                               .filePath(QFileInfo(QStringLiteral(GLINT_PLUGIN_PATH)).fileName());
    if (QFileInfo::exists(beside))
        return beside;
    return QStringLiteral(GLINT_PLUGIN_PATH);
}

} // namespace

bool EmulatorOptions::parse(const QStringList &arguments, EmulatorOptions *options, QString *error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Plays the Vesk host against the motherboard lighting plug-in and the substitute SDK."));
    const QCommandLineOption help({ QStringLiteral("h"), QStringLiteral("help") },
                                  QStringLiteral("Shows this help."));
    const QCommandLineOption scenario(QStringLiteral("scenario"),
                                      QStringLiteral("Boards, lights and faults to simulate "
                                                     "(default: two boards, 8 and 6 lights)."),
                                      QStringLiteral("FILE.json"));
    const QCommandLineOption plugin(QStringLiteral("plugin"),
                                    QStringLiteral("The plug-in library to load (default: the "
                                                   "one built beside the emulator)."),
                                    QStringLiteral("PATH"));
    const QCommandLineOption effect(
        QStringLiteral("effect"),
        QStringLiteral("rainbow (default), breathe, chase, or static with --colour."),
        QStringLiteral("NAME"));
    const QCommandLineOption colour(QStringLiteral("colour"),
                                    QStringLiteral("The colour of the static effect (#rrggbb or "
                                                   "a name; default white)."),
                                    QStringLiteral("COLOUR"));
    const QCommandLineOption fps(QStringLiteral("fps"),
                                 QStringLiteral("Target frame rate (default 30)."),
                                 QStringLiteral("N"));
    const QCommandLineOption seconds(QStringLiteral("seconds"),
                                     QStringLiteral("How long to run the effect (default 5)."),
                                     QStringLiteral("S"));
    const QCommandLineOption frames(QStringLiteral("frames"),
                                    QStringLiteral("Send this many frames instead of running "
                                                   "for a duration."),
                                    QStringLiteral("N"));
    const QCommandLineOption snapshot(QStringLiteral("snapshot"),
                                      QStringLiteral("Writes a picture of each board's lights "
                                                     "in their final colours."),
                                      QStringLiteral("FILE.png"));
    const QCommandLineOption quiet(QStringLiteral("quiet"),
                                   QStringLiteral("No device listing and no live view; the "
                                                  "summary is still printed."));
    const QCommandLineOption logRules(
        QStringLiteral("log-rules"),
        QStringLiteral("Logging filter rules, e.g. \"vesk.*=false\" or \"*.debug=true\"."),
        QStringLiteral("RULES"));
    parser.addOptions({ help, scenario, plugin, effect, colour, fps, seconds, frames, snapshot,
                        quiet, logRules });
    if (!parser.parse(arguments))
        return fail(error, parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return fail(error,
                    QStringLiteral("unexpected argument: ") + parser.positionalArguments().first());
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        std::fputs("\nThe effect may also be given as \"static COLOUR\".\n", stdout);
        std::exit(0);
    }

    EmulatorOptions result;
    result.scenarioFile = parser.value(scenario);
    result.pluginPath = parser.isSet(plugin) ? parser.value(plugin) : defaultPluginPath();
    std::optional<RgbColour> staticColour = result.staticColour;
    if (parser.isSet(effect)) {
        const QStringList words = parser.value(effect).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        result.effect = words.value(0).toLower();
        if (words.size() > 1)
            staticColour = RgbColour::fromName(words.at(1));
    }
    if (parser.isSet(colour))
        staticColour = RgbColour::fromName(parser.value(colour));
    const QStringList effects { QStringLiteral("rainbow"), QStringLiteral("breathe"),
                                QStringLiteral("static"), QStringLiteral("chase") };
    if (!effects.contains(result.effect))
        return fail(error, QStringLiteral("unknown effect: ") + result.effect);
    if (!staticColour)
        return fail(error, QStringLiteral("the static colour is not a colour"));
    result.staticColour = *staticColour;
    bool ok = true;
    if (parser.isSet(fps)) {
        result.fps = parser.value(fps).toDouble(&ok);
        if (!ok || result.fps <= 0 || result.fps > 1000)
            return fail(error, QStringLiteral("--fps must be between 0 and 1000"));
    }
    if (parser.isSet(seconds)) {
        result.seconds = parser.value(seconds).toDouble(&ok);
        if (!ok || result.seconds < 0 || result.seconds > 86400)
            return fail(error, QStringLiteral("--seconds must be between 0 and 86400"));
    }
    if (parser.isSet(frames)) {
        result.frames = parser.value(frames).toInt(&ok);
        if (!ok || result.frames <= 0)
            return fail(error, QStringLiteral("--frames must be a positive count"));
    }
    result.snapshotFile = parser.value(snapshot);
    result.quiet = parser.isSet(quiet);
    result.logRules = parser.value(logRules);
    *options = result;
    return true;
}
