var c = CreateObject("CorvaneCOM.Corvane");
print("before");
c.Fly();
print("after");
