target_sources(tarvell_logic PRIVATE
  model/uModel.cpp model/uModel.h
)
