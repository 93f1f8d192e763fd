#include "ObjectTarget.h"

#include <QStringList>

namespace simulator {
namespace {

QString kindName(ObjectTarget::Kind kind)
{
    static const char *const names[] = { "sdk", "devices", "board", "lights", "light" };
    return QLatin1String(names[kind]);
}

} // namespace

ObjectTarget ObjectTarget::child(Kind childKind, int childBoard, int childLight) const
{
    ObjectTarget target = *this;
    target.kind = childKind;
    target.board = childBoard;
    target.light = childLight;
    return target;
}

QString objectName(const ObjectTarget &target)
{
    QString name = kindName(target.kind);
    if (target.kind == ObjectTarget::Board || target.kind == ObjectTarget::Lights
        || target.kind == ObjectTarget::Light)
        name += QLatin1Char(':') + QString::number(target.board);
    if (target.kind == ObjectTarget::Light)
        name += QLatin1Char(':') + QString::number(target.light);
    return name;
}

bool objectMatches(const QString &pattern, const ObjectTarget &target)
{
    const QStringList wanted = pattern.split(QLatin1Char(':'));
    const QString values[] = { kindName(target.kind), QString::number(target.board),
                               QString::number(target.light) };
    const int used = target.kind == ObjectTarget::Light                               ? 3
        : (target.kind == ObjectTarget::Board || target.kind == ObjectTarget::Lights) ? 2
                                                                                      : 1;
    if (wanted.size() > used && pattern != QLatin1String("*"))
        return false;
    for (int i = 0; i < wanted.size() && i < used; ++i) {
        if (wanted[i] != QLatin1String("*") && wanted[i] != values[i])
            return false;
    }
    return true;
}

bool journalNameMatches(const QString &pattern, const QString &name)
{
    const QStringList want = pattern.split(QLatin1Char(':'));
    const QStringList have = name.split(QLatin1Char(':'));
    bool match = want.size() == have.size() || pattern == QLatin1String("*");
    for (int i = 0; match && i < want.size() && i < have.size(); ++i)
        match = want[i] == QLatin1String("*") || want[i] == have[i];
    return match;
}

} // namespace simulator
