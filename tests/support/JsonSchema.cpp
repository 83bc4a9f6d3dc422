// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/JsonSchema.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace {

QString typeOf(const QJsonValue &v)
{
    switch (v.type()) {
    case QJsonValue::Null: return QStringLiteral("null");
    case QJsonValue::Bool: return QStringLiteral("boolean");
    case QJsonValue::Double: return QStringLiteral("number");
    case QJsonValue::String: return QStringLiteral("string");
    case QJsonValue::Array: return QStringLiteral("array");
    case QJsonValue::Object: return QStringLiteral("object");
    case QJsonValue::Undefined: break;
    }
    return QStringLiteral("undefined");
}

bool hasType(const QJsonValue &v, const QString &type)
{
    if (type == QLatin1String("integer")) {
        const double d = v.toDouble();
        return v.isDouble() && std::isfinite(d) && d == std::floor(d);
    }
    return typeOf(v) == type;
}

QString shown(const QJsonValue &v)
{
    if (v.isObject() || v.isArray())
        return typeOf(v);
    return QString::fromUtf8(QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact)).mid(1).chopped(1);
}

// A local reference, "#/$defs/name", looked up from the document's root.
QJsonValue resolve(const QJsonObject &root, const QString &ref)
{
    if (!ref.startsWith(QLatin1String("#/")))
        return QJsonValue();
    QJsonValue at = root;
    for (const QString &part : ref.mid(2).split(QLatin1Char('/')))
        at = at.toObject().value(part);
    return at;
}

void check(const QJsonObject &root, const QJsonValue &schema, const QJsonValue &v, const QString &path, QStringList &faults)
{
    const QString at = path.isEmpty() ? QStringLiteral("/") : path;
    if (schema.isBool()) {
        if (!schema.toBool())
            faults << at + QStringLiteral(": no value is allowed here");
        return;
    }
    if (!schema.isObject()) {
        faults << at + QStringLiteral(": the schema here is not an object");
        return;
    }
    const QJsonObject s = schema.toObject();
    static const QStringList known{
        QStringLiteral("type"), QStringLiteral("required"), QStringLiteral("properties"),
        QStringLiteral("additionalProperties"), QStringLiteral("items"), QStringLiteral("enum"),
        QStringLiteral("const"), QStringLiteral("$schema"), QStringLiteral("$id"), QStringLiteral("$comment"),
        QStringLiteral("title"), QStringLiteral("description"), QStringLiteral("version"),
        QStringLiteral("minimum"), QStringLiteral("maximum"), QStringLiteral("pattern"), QStringLiteral("minLength"),
        QStringLiteral("maxLength"), QStringLiteral("minItems"), QStringLiteral("maxItems"), QStringLiteral("$defs"),
        QStringLiteral("$ref"), QStringLiteral("allOf"), QStringLiteral("if"), QStringLiteral("then"),
        QStringLiteral("else")};
    for (auto it = s.begin(); it != s.end(); ++it) {
        if (!known.contains(it.key()))
            faults << at + QStringLiteral(": the schema uses \"%1\", which this checker does not know").arg(it.key());
    }

    if (s.contains(QStringLiteral("$ref"))) {
        const QJsonValue target = resolve(root, s.value(QStringLiteral("$ref")).toString());
        if (target.isUndefined() || target.isNull())
            faults << at + QStringLiteral(": the reference %1 leads nowhere").arg(s.value(QStringLiteral("$ref")).toString());
        else
            check(root, target, v, path, faults);
    }
    // allOf: every sub-schema applies to the same value.
    const QJsonArray all = s.value(QStringLiteral("allOf")).toArray();
    for (const QJsonValue &sub : all)
        check(root, sub, v, path, faults);
    // if/then/else: the condition is tried on its own, its faults only
    // choosing which branch applies.
    if (s.contains(QStringLiteral("if"))) {
        QStringList quiet;
        check(root, s.value(QStringLiteral("if")), v, path, quiet);
        const QString branch = quiet.isEmpty() ? QStringLiteral("then") : QStringLiteral("else");
        if (s.contains(branch))
            check(root, s.value(branch), v, path, faults);
    }
    if (s.contains(QStringLiteral("type"))) {
        const QJsonValue t = s.value(QStringLiteral("type"));
        QStringList types;
        if (t.isArray()) {
            for (const QJsonValue &x : t.toArray())
                types << x.toString();
        } else {
            types << t.toString();
        }
        const bool fits = std::any_of(types.begin(), types.end(), [&](const QString &x) { return hasType(v, x); });
        if (!fits) {
            faults << at + QStringLiteral(": %1 where %2 is wanted").arg(typeOf(v), types.join(QStringLiteral(" or ")));
            return;   // the rest would only repeat the fault
        }
    }
    if (s.contains(QStringLiteral("const")) && s.value(QStringLiteral("const")) != v)
        faults << at + QStringLiteral(": %1 where %2 is wanted").arg(shown(v), shown(s.value(QStringLiteral("const"))));
    if (s.contains(QStringLiteral("enum")) && !s.value(QStringLiteral("enum")).toArray().contains(v))
        faults << at + QStringLiteral(": %1 is not one of the allowed values").arg(shown(v));

    if (v.isDouble()) {
        if (s.contains(QStringLiteral("minimum")) && v.toDouble() < s.value(QStringLiteral("minimum")).toDouble())
            faults << at + QStringLiteral(": %1 is below the minimum").arg(shown(v));
        if (s.contains(QStringLiteral("maximum")) && v.toDouble() > s.value(QStringLiteral("maximum")).toDouble())
            faults << at + QStringLiteral(": %1 is above the maximum").arg(shown(v));
    }
    if (v.isString()) {
        const QString text = v.toString();
        if (s.contains(QStringLiteral("minLength")) && text.size() < s.value(QStringLiteral("minLength")).toInt())
            faults << at + QStringLiteral(": %1 is too short").arg(shown(v));
        if (s.contains(QStringLiteral("maxLength")) && text.size() > s.value(QStringLiteral("maxLength")).toInt())
            faults << at + QStringLiteral(": %1 is too long").arg(shown(v));
        if (s.contains(QStringLiteral("pattern"))) {
            const QRegularExpression re(s.value(QStringLiteral("pattern")).toString());
            if (!re.isValid())
                faults << at + QStringLiteral(": the schema's pattern is not valid");
            else if (!re.match(text).hasMatch())
                faults << at + QStringLiteral(": %1 does not match %2").arg(shown(v), re.pattern());
        }
    }
    if (v.isArray()) {
        const qsizetype n = v.toArray().size();
        if (s.contains(QStringLiteral("minItems")) && n < s.value(QStringLiteral("minItems")).toInt())
            faults << at + QStringLiteral(": fewer items than %1").arg(s.value(QStringLiteral("minItems")).toInt());
        if (s.contains(QStringLiteral("maxItems")) && n > s.value(QStringLiteral("maxItems")).toInt())
            faults << at + QStringLiteral(": more items than %1").arg(s.value(QStringLiteral("maxItems")).toInt());
    }
    if (v.isObject()) {
        const QJsonObject o = v.toObject();
        const QJsonObject props = s.value(QStringLiteral("properties")).toObject();
        for (const QJsonValue &r : s.value(QStringLiteral("required")).toArray()) {
            if (!o.contains(r.toString()))
                faults << at + QStringLiteral(": \"%1\" is missing").arg(r.toString());
        }
        for (auto it = o.begin(); it != o.end(); ++it) {
            const QString child = path + QLatin1Char('/') + it.key();
            if (props.contains(it.key()))
                check(root, props.value(it.key()), it.value(), child, faults);
            else if (s.contains(QStringLiteral("additionalProperties")))
                check(root, s.value(QStringLiteral("additionalProperties")), it.value(), child, faults);
        }
    }
    if (v.isArray() && s.contains(QStringLiteral("items"))) {
        const QJsonArray a = v.toArray();
        for (qsizetype i = 0; i < a.size(); ++i)
            check(root, s.value(QStringLiteral("items")), a.at(i), path + QLatin1Char('/') + QString::number(i), faults);
    }
}

} // namespace

QStringList checkJsonSchema(const QJsonValue &schema, const QJsonValue &document)
{
    QStringList faults;
    check(schema.toObject(), schema, document, QString(), faults);
    return faults;
}
