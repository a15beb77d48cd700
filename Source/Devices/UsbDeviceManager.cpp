#include "UsbDeviceManager.h"
#include "UsbDevice.h"

template class UsbBaseDeviceManager<UsbDevice>;
