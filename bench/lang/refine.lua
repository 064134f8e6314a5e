-- Calls of a function with two optional flags (refinements elsewhere).
local function f(x, double, plus)
  if double then x = x * 2 end
  if plus ~= nil then x = x + plus end
  return x
end

local s = 0
for i = 1, 500000 do
  s = s + f(1) + f(1, true) + f(1, nil, 2) + f(1, true, 2)
end
print(s)
