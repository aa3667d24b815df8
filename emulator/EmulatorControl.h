/* Control interface of the camera emulator for tests.
 *
 * The functions live in the emulator library (libusb-0.1.so.4 of build/emulator).
 * Tests reach them by linking against it or, when the library under test
 * loads the emulator itself, with dlopen("libusb-0.1.so.4") and dlsym.
 * Every function returns 0 on success and -1 for an unknown camera or a bad
 * key or value, unless noted otherwise.
 */
#ifndef ORVEX_EMULATOR_CONTROL_H
#define ORVEX_EMULATOR_CONTROL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* What a logged event was. */
enum OrvexEmuEventKind {
  ORVEX_EMU_OPEN = 1,          /* usb_open; result 0 or -1 */
  ORVEX_EMU_CLOSE = 2,
  ORVEX_EMU_SET_CONFIGURATION = 3, /* value = configuration */
  ORVEX_EMU_CLAIM = 4,         /* value = interface */
  ORVEX_EMU_RELEASE = 5,       /* value = interface */
  ORVEX_EMU_BULK_WRITE = 6,    /* endpoint, length, data (first 64 bytes) */
  ORVEX_EMU_BULK_READ = 7,     /* endpoint, length, data returned (first 64 bytes) */
  ORVEX_EMU_CONTROL = 8,       /* requestType, request, value, index, length, data */
  ORVEX_EMU_RESET = 9,         /* usb_reset */
  ORVEX_EMU_CLEAR_HALT = 10,   /* endpoint */
  ORVEX_EMU_GET_STRING = 11,   /* index = descriptor index, value = language, length = buffer size */
  ORVEX_EMU_SET_DEBUG = 12,    /* value = level; camera = -1 */
  ORVEX_EMU_FIND_DEVICES = 13  /* camera = -1 */
};

typedef struct OrvexEmuEvent {
  int32_t camera;       /* index in the configuration, -1 for library-wide events */
  uint32_t kind;        /* OrvexEmuEventKind */
  uint32_t endpoint;
  int32_t requestType;
  int32_t request;
  int32_t value;
  int32_t index;
  uint32_t length;      /* bytes asked for (or offered) */
  int32_t result;       /* what the libusb function returned */
  uint32_t dataLength;  /* bytes kept in data (at most 64) */
  uint8_t data[64];
} OrvexEmuEvent;

/* Replaces every camera by the configuration text (the format of the
 * ORVEX_EMULATOR_CONFIG file); NULL restores the environment's configuration.
 * Open handles of the old cameras turn stale (-ENODEV). On a parse error the
 * old cameras stay and the reason is written to error (may be NULL). */
int orvex_emu_configure(const char* text, char* error, size_t errorSize);
/* Number of configured cameras. */
int orvex_emu_camera_count(void);
/* Sets one configuration key of a running camera. Fault counters act at once;
 * serial, identity and eeprom rebuild the EEPROM and act at the next replug. */
int orvex_emu_set(int camera, const char* key, const char* value);

/* Pulls the cable: transfers fail with -ENODEV, the next bus scan drops it. */
int orvex_emu_unplug(int camera);
/* Plugs it in again: power-up, boot from the EEPROM. */
int orvex_emu_replug(int camera);

/* Device-side views. */
int orvex_emu_read_eeprom(int camera, uint32_t address, void* buffer, uint32_t count);
int orvex_emu_write_eeprom(int camera, uint32_t address, const void* buffer, uint32_t count);
int orvex_emu_registers(int camera, uint8_t* registers256);
int orvex_emu_set_register(int camera, uint8_t address, uint8_t value);
/* 1 configured, 0 not; -1 unknown camera. */
int orvex_emu_fpga_configured(int camera);
/* Number of FPGA bit streams received (complete requests), -1 unknown camera. */
int orvex_emu_fpga_downloads(int camera);
/* 1 when the controller runs camera firmware, 0 when it is a bare FX2. */
int orvex_emu_firmware_running(int camera);

/* Transaction log of everything the host did. */
size_t orvex_emu_log_size(void);
int orvex_emu_log_get(size_t position, OrvexEmuEvent* event);
void orvex_emu_log_clear(void);

#ifdef __cplusplus
}
#endif

#endif /* ORVEX_EMULATOR_CONTROL_H */
