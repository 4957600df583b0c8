// The engine's tables, its six operations and the per-frame passes.
#include "engine/engine.h"

#include <cstdlib>

#include "base/fatal.h"
#include "fx/fx_table.h"

namespace engine {

PixelBlock allocate_pixels(size_t count) {
  // calloc: a fresh block is black, and a failure is reported instead of crashing later.
  auto* raw = static_cast<uint16_t*>(std::calloc(count > 0 ? count : 1, sizeof(uint16_t)));
  if (raw == nullptr) fail("engine  : out of memory for a block of %zu pixels", count);
  return PixelBlock(raw, [](uint16_t* block) { std::free(block); });
}

Engine::Engine(datafile::ChunkTable table) : chunks(std::move(table)) {
  if (chunks.empty())
    fail("engine  : the data file holds no chunk; it must begin with its DEMO chunk");
  if (chunks[0]->kind != datafile::ChunkKind::SCRIPT)
    fail("engine  : chunk 0 is %s; a data file must begin with its DEMO chunk",
         datafile::kind_with_article(chunks[0]->kind));
  script.chunk = static_cast<const datafile::ScriptChunk*>(chunks[0].get());
}

namespace {

// Fills buffer table entry `index`, reusing the record it holds so that effects holding the
// record see the new size and block; views made from the old block keep it alive by their share.
void fill_entry(Engine& engine, uint8_t index, uint16_t x, uint16_t y, uint16_t width,
                uint16_t height, PixelBlock pixels) {
  BufferEntry& entry = engine.buffers[index];
  if (!entry) entry = std::make_unique<Buffer>();
  *entry = Buffer{std::move(pixels), width, height, x, y};
}

}  // namespace

void create_buffer(Engine& engine, uint8_t index, uint16_t x, uint16_t y, uint16_t width,
                   uint16_t height) {
  fill_entry(engine, index, x, y, width, height, allocate_pixels(size_t{width} * height));
}

void create_view_buffer(Engine& engine, uint8_t index, uint16_t x, uint16_t y, uint8_t source) {
  const Buffer& from = *engine.buffers[source];  // may be the view itself
  fill_entry(engine, index, x, y, from.width, from.height, from.pixels);
}

void create_fx(Engine& engine, uint8_t slot, uint8_t class_id, uint8_t buffer_index) {
  std::unique_ptr<FxSlot>& entry = engine.slots[slot];
  if (!entry) entry = std::make_unique<FxSlot>();
  entry->class_id = class_id;
  entry->buffer_index = buffer_index;
  entry->instance = fx::fx_classes[class_id]->create(engine.buffers[buffer_index], engine.random);
  entry->state = SlotState::STOPPED;
  entry->level = FULL_LEVEL;
}

void set_param_int(Engine& engine, uint8_t slot, uint8_t id, int32_t value) {
  FxSlot& fx_slot = *engine.slots[slot];
  fx::fx_classes[fx_slot.class_id]->set_param(*fx_slot.instance, id,
                                              fx::ParamValue{value, nullptr});
}

void set_param_chunk(Engine& engine, uint8_t slot, uint8_t id, uint8_t chunk_index) {
  FxSlot& fx_slot = *engine.slots[slot];
  fx::ParamValue value{0, engine.chunks[chunk_index].get()};
  fx::fx_classes[fx_slot.class_id]->set_param(*fx_slot.instance, id, value);
}

void set_fx_state(Engine& engine, uint8_t slot, uint8_t state) {
  if (state == static_cast<uint8_t>(SlotState::RUNNING))
    engine.slots[slot]->state = SlotState::RUNNING;
  if (state == static_cast<uint8_t>(SlotState::STOPPED))
    engine.slots[slot]->state = SlotState::STOPPED;
}

void render_pass(Engine& engine) {
  for (int i = 0; i < DISPATCHED_SLOTS; ++i) {
    FxSlot* slot = engine.slots[i].get();
    if (slot != nullptr && slot->state == SlotState::RUNNING)
      fx::fx_classes[slot->class_id]->render(*slot->instance, engine.frame_counter);
  }
}

void show_pass(Engine& engine, DisplayDriver& display) {
  for (int i = 0; i < DISPATCHED_SLOTS; ++i) {
    FxSlot* slot = engine.slots[i].get();
    if (slot != nullptr && slot->level == FULL_LEVEL && slot->state == SlotState::RUNNING)
      display.blit(display, *engine.buffers[slot->buffer_index]);
  }
}

}  // namespace engine
