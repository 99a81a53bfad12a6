#pragma once

#include <QString>

// The engine types the filters know. Types are compared exactly, letter case
// included; any type containing "BATCH" is a batch service. "IndexNow" is an
// endpoint of that protocol: the "Search Engines" box marks it like "ENGINE".
enum class EngineKind { Engine, Classified, Ffa, Batch, CustomEngine, CustomClassified, CustomFfa, IndexNow, Other };

EngineKind engineKind(const QString& type);

// N of a batch type: the whole number after the first "->". A batch type
// whose count is missing or not a whole number counts as 1, so a bad line
// never stops a filter pass or a result count.
int batchCount(const QString& type);

// How many submissions a row of this type stands for: N for a batch
// service, 1 for every other type.
int submissionWeight(const QString& type);
