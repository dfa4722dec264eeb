#include "Zelvar_ParameterManager.h"

#include "NumericConversion.h"

#include <algorithm>
#include <cmath>
#include <cstring>

Zelvar_ParameterManager::~Zelvar_ParameterManager() {
    delete[] records;
    delete[] dspValues;
}

void Zelvar_ParameterManager::initialize() {
    if (records == nullptr)
        records = new ParameterRecord[ParameterTypeCount];
    if (dspValues == nullptr)
        dspValues = new double[ParameterTypeCount]();
    setDefaultValues();
    for (int t = 0; t < ParameterTypeCount; ++t)
        dspValues[t] = records[t].currentValue.load(std::memory_order_relaxed);
}

void Zelvar_ParameterManager::setDefaultValues() {
    for (int t = 0; t < ParameterTypeCount; ++t) {
        ParameterRecord& row = records[t];
        row.definition = parameterTable[t];
        // The default is scaled as given, not snapped to the steps.
        row.defaultValue =
            getScaledValue(row.definition.index, row.definition.defaultNormalizedValue);
        row.normalizedValue.store(row.definition.defaultNormalizedValue, std::memory_order_relaxed);
        row.currentValue.store(row.defaultValue, std::memory_order_relaxed);
    }
}

double Zelvar_ParameterManager::getScaledValue(int type, double x) const {
    if (!isValidParameterType(type))
        return 0.0;
    return scaleParameterValue(records[type].definition, x);
}

double Zelvar_ParameterManager::setNormalizedValue(int type, double x) {
    if (!isValidParameterType(type) || !std::isfinite(x))
        return 0.0;
    x = std::clamp(x, 0.0, 1.0);
    ParameterRecord& row = records[type];
    const double a = double(row.definition.steps - 1);
    // A one-step row would divide by zero; it has a single position, the value as given.
    const double n = a != 0.0 ? roundHalfAway(x * a) / a : x;
    row.normalizedValue.store(n, std::memory_order_relaxed);
    row.currentValue.store(getScaledValue(type, n), std::memory_order_relaxed);
    return n;
}

void Zelvar_ParameterManager::setDspValueDirectly(int type, double normalized) {
    if (!isValidParameterType(type))
        return;
    setNormalizedValue(type, normalized);
    dspValues[type] = getCurrentValue(type);
}

void Zelvar_ParameterManager::setDspValue(int type, double value) {
    if (!isValidParameterType(type) || !std::isfinite(value))
        return;
    const ParameterDefinition& row = records[type].definition;
    dspValues[type] = std::clamp(value, row.minValue, row.maxValue);
}

double Zelvar_ParameterManager::getCurrentValue(int type) const {
    if (!isValidParameterType(type))
        return 0.0;
    return records[type].currentValue.load(std::memory_order_relaxed);
}

ParameterInfo Zelvar_ParameterManager::getParameterInfo(int type) const {
    ParameterInfo info;
    std::memset(&info, 0, sizeof info);
    if (!isValidParameterType(type))
        return info;
    const ParameterRecord& row = records[type];
    info.type = row.definition.type;
    std::strncpy(info.name, row.definition.name, sizeof info.name - 1);
    info.minValue = row.definition.minValue;
    info.maxValue = row.definition.maxValue;
    info.steps = row.definition.steps;
    info.defaultNormalizedValue = row.definition.defaultNormalizedValue;
    info.defaultValue = row.defaultValue;
    info.normalizedValue = row.normalizedValue.load(std::memory_order_relaxed);
    info.currentValue = row.currentValue.load(std::memory_order_relaxed);
    return info;
}
