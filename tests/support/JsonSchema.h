// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonValue>
#include <QStringList>

// A small, strict JSON-schema checker for the documents in docs/json/: the
// keywords type, required, properties, additionalProperties, items, enum,
// const, minimum, maximum, pattern, minLength, maxLength, minItems, maxItems,
// $defs, local $ref, allOf and if/then/else (plus the annotations $schema, $id, $comment, title,
// description, version). Any other keyword in a schema is itself an error, so a schema
// never seems to check what it does not.
//
// Returns one line per fault, "/path/to/value: what is wrong"; empty when the
// document fits.
QStringList checkJsonSchema(const QJsonValue &schema, const QJsonValue &document);
