#include "Scenario.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// Type codes and HRESULTs are usually written in hex; accept "0x..." strings as well as numbers.
bool readInteger(const QJsonValue &value, qint64 *out)
{
    if (value.isDouble()) {
        *out = qint64(value.toDouble());
        return double(*out) == value.toDouble();
    }
    if (value.isString()) {
        bool ok = false;
        *out = value.toString().toLongLong(&ok, 0);
        return ok;
    }
    return false;
}

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

bool readBoard(const QJsonObject &object, int place, BoardScenario *board, QString *error)
{
    const QString where = QStringLiteral("boards[%1]").arg(place);
    if (!object.value(QLatin1String("name")).isString())
        return fail(error, where + QStringLiteral(": \"name\" must be a string"));
    board->name = object.value(QLatin1String("name")).toString();
    qint64 number = 0;
    if (object.contains(QLatin1String("type"))) {
        if (!readInteger(object.value(QLatin1String("type")), &number))
            return fail(error, where + QStringLiteral(": \"type\" must be an integer"));
        board->type = int(number);
    }
    const QJsonValue lights = object.value(QLatin1String("lights"));
    if (lights.isArray()) {
        for (const QJsonValue &name : lights.toArray()) {
            if (!name.isString())
                return fail(error, where + QStringLiteral(": light names must be strings"));
            board->lightNames.append(name.toString());
        }
    } else if (readInteger(lights, &number) && number >= 0 && number <= 100000) {
        board->lightNames = BoardScenario::withLights(QString(), int(number)).lightNames;
    } else if (!lights.isUndefined()) {
        return fail(error,
                    where + QStringLiteral(": \"lights\" must be a count or a list of names"));
    }
    if (object.contains(QLatin1String("applyDelayMs"))) {
        if (!readInteger(object.value(QLatin1String("applyDelayMs")), &number) || number < 0)
            return fail(error, where + QStringLiteral(": \"applyDelayMs\" must be >= 0"));
        board->applyDelayMs = int(number);
    }
    return true;
}

bool readFault(const QJsonObject &object, int place, FaultRule *fault, QString *error)
{
    const QString where = QStringLiteral("faults[%1]").arg(place);
    if (!object.value(QLatin1String("object")).isString()
        || !object.value(QLatin1String("method")).isString())
        return fail(error, where + QStringLiteral(": \"object\" and \"method\" must be strings"));
    fault->object = object.value(QLatin1String("object")).toString();
    fault->method = object.value(QLatin1String("method")).toString();
    qint64 number = 0;
    const bool stalls =
        object.contains(QLatin1String("blockMs")) || object.value(QLatin1String("pump")).toBool();
    if (object.contains(QLatin1String("result")) || stalls) {
        // Only failures, unless the rule blocks or pumps: a success code alone would make the
        // rule a silent no-op. "ok" lets a blocking call do its work afterwards.
        const QJsonValue result = object.value(QLatin1String("result"));
        if (stalls && (result.isUndefined() || result == QLatin1String("ok")))
            fault->result = S_OK;
        else if (!readInteger(result, &number) || (number >= 0 && number <= 0x7FFFFFFF))
            return fail(error, where + QStringLiteral(": \"result\" must be a failure HRESULT"));
        else
            fault->result = static_cast<HRESULT>(static_cast<quint32>(number));
    }
    const struct
    {
        const char *name;
        int *field;
        qint64 minimum;
    } integers[] = { { "call", &fault->call, 0 },
                     { "index", &fault->index, -1 },
                     { "times", &fault->times, 0 },
                     { "forMs", &fault->forMs, 0 },
                     { "blockMs", &fault->blockMs, -1 } };
    for (const auto &integer : integers) {
        const QJsonValue value = object.value(QLatin1String(integer.name));
        if (value.isUndefined())
            continue;
        if (!readInteger(value, &number) || number < integer.minimum || number > 0x7FFFFFFF)
            return fail(error,
                        where
                            + QStringLiteral(": \"%1\" must be an integer >= %2")
                                  .arg(QLatin1String(integer.name))
                                  .arg(integer.minimum));
        *integer.field = int(number);
    }
    fault->pump = object.value(QLatin1String("pump")).toBool();
    return true;
}

} // namespace

BoardScenario BoardScenario::withLights(const QString &name, int count, int type)
{
    BoardScenario board;
    board.name = name;
    board.type = type;
    for (int i = 1; i <= count; ++i)
        board.lightNames.append(QStringLiteral("LED %1").arg(i));
    return board;
}

Scenario Scenario::defaultScenario()
{
    Scenario scenario;
    scenario.boards.append(BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 8));
    return scenario;
}

bool Scenario::fromJson(const QByteArray &json, Scenario *scenario, QString *error)
{
    QJsonParseError parseError {};
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return fail(error, parseError.errorString());
    if (!document.isObject())
        return fail(error, QStringLiteral("the scenario must be a JSON object"));
    const QJsonObject root = document.object();
    Scenario result;
    const QJsonArray boards = root.value(QLatin1String("boards")).toArray();
    for (int i = 0; i < boards.size(); ++i) {
        BoardScenario board;
        if (!boards.at(i).isObject())
            return fail(error, QStringLiteral("boards[%1] must be an object").arg(i));
        if (!readBoard(boards.at(i).toObject(), i, &board, error))
            return false;
        result.boards.append(board);
    }
    const QJsonArray faults = root.value(QLatin1String("faults")).toArray();
    for (int i = 0; i < faults.size(); ++i) {
        FaultRule fault;
        if (!faults.at(i).isObject())
            return fail(error, QStringLiteral("faults[%1] must be an object").arg(i));
        if (!readFault(faults.at(i).toObject(), i, &fault, error))
            return false;
        result.faults.append(fault);
    }
    *scenario = result;
    return true;
}

bool Scenario::fromFile(const QString &path, Scenario *scenario, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(error, path + QStringLiteral(": ") + file.errorString());
    return fromJson(file.readAll(), scenario, error);
}
