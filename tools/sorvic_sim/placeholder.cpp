// placeholder, replaced by its owner
namespace tavrick_sim_placeholder {}
