#pragma once

#include "Device.h"
#include "Records.h"

class Collection;
class QObject;

// Channel configurations as the drivers see them, and the model factory.
namespace ChannelModel {

// The driver for a model string: "3107A-NTC", "3107A-RTD", "3107A-TC",
// "3107A-PCR", "3108A", and the 1586A under both its names ("1586A",
// "Fluke 1586A"); nullptr for any other string. The caller owns the result.
Collection* createCollection(const QString& model, QObject* parent = nullptr);

// The driver that reads a device's exported data files: "3107A-TC",
// "3108A", and the 1586A under both its names ("1586A" as the registry
// stores it, "Fluke 1586A"); nullptr for a model without a reader.
Collection* createDataFileReader(const QString& model, QObject* parent = nullptr);

// One Device::Channel per channel of the configuration, in table order.
// Entries missing from a short list are left empty (M and B: 1 and 0).
QList<Device::Channel> toChannels(const Tool::Struct_ChannelConfig& config);

} // namespace ChannelModel
