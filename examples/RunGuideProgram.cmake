# Runs the guide's program offscreen for FRAMES frames and checks its summary: every frame was
# drawn, the ball moved, and the frames kept to the display's refresh, so that a program copied
# from the guide neither spins through thousands of frames a second nor shows two frames in one
# refresh now and then. The offscreen screen refreshes 60 times a second: the frames after the
# first take at least a sixtieth of a second each (the bound allows 61 a second for the clock's
# rounding).
execute_process(COMMAND ${PROGRAM} --frames ${FRAMES} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${out}${err}")
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the guide's program failed (${rc})")
endif()
if(NOT out MATCHES "bounce: ([0-9]+) frames in ([0-9]+) ms, the ball at (-?[0-9]+), (-?[0-9]+)")
  message(FATAL_ERROR "the guide's program printed no summary")
endif()
set(frames ${CMAKE_MATCH_1})
set(ms ${CMAKE_MATCH_2})
if(NOT frames EQUAL FRAMES)
  message(FATAL_ERROR "${frames} frames drawn, not ${FRAMES}")
endif()
if(CMAKE_MATCH_3 EQUAL 40 AND CMAKE_MATCH_4 EQUAL 30)
  message(FATAL_ERROR "the ball did not move")
endif()
math(EXPR least "(${FRAMES} - 1) * 1000 / 61")
if(ms LESS least)
  message(FATAL_ERROR "${FRAMES} frames in ${ms} ms: the frames did not keep to the refresh rate")
endif()
